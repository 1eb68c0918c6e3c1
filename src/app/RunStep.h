#pragma once

namespace trawlmeter {

// How a stage of an analysis run ended, worst last. A stage that failed has shown its message
// already, so its caller only decides whether to go on.
enum class [[nodiscard]] RunStep{
    Done,
    // The operator closed the window (or the batch was told to stop): the run ends at once,
    // keeping what it stored.
    Stopped,
    // The chosen log does not exist.
    LogMissing,
    // The chosen log exists but cannot be read (or decompressed) to its end.
    LogUnreadable,
    // Records, counts or files were at stake and the run could not go on.
    Failed,
};

} // namespace trawlmeter
