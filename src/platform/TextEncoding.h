#pragma once

#include <optional>
#include <string>
#include <string_view>

// Names that come from other systems (archive members) in the character sets they were written
// in, made UTF-8 whatever locale the process runs in.
namespace trawlmeter::text {

// While one lives, the C library of this thread takes text as UTF-8 whatever the process locale
// says, so a library that converts names into "the current character set" (libarchive) gives
// them as UTF-8: the window (which takes the user's locale) and the batch (which runs in "C")
// read the same names. Where the system has no UTF-8 locale it changes nothing; on Windows,
// whose C library has no locale of a thread's own, nothing either: libarchive there gives every
// name as wide text, which the readers take first.
class Utf8Locale {
public:
    Utf8Locale();
    ~Utf8Locale();
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    void* m_previous = nullptr;
};

// Whether `bytes` are well-formed UTF-8 (ASCII is).
bool isUtf8(std::string_view bytes);

// A wide string of the system (UTF-32 here, UTF-16 where wchar_t has 16 bits) as UTF-8; nothing
// when it holds no valid character sequence.
std::optional<std::string> utf8FromWide(std::wstring_view wide);

// `bytes` read as the code page of a Chinese Windows (936, GBK) and written as UTF-8; nothing
// when they are not text of that code page.
std::optional<std::string> utf8FromCodePage936(std::string_view bytes);

} // namespace trawlmeter::text
