#include "app/BatchCommand.h"

#include "app/BatchPlatform.h"
#include "app/CrawlerEngines.h"
#include "app/MainForm.h"

#include <ostream>

namespace trawlmeter {
namespace {

constexpr const char* kUsage =
    "Usage: trawlmeter-batch [--folder DIR] LOG\n"
    "\n"
    "Analyses one IIS access log (W3C extended format) without a window: the log is cut into\n"
    "chunks in the work folder DIR/temp, every line of the five search engines' crawlers is\n"
    "counted and appended to its engine's table of DIR/rezOve.mdb, and the work folder is\n"
    "removed. The six counters are printed at the end.\n"
    "\n"
    "  --folder DIR  the folder holding rezOve.mdb (default: the folder of this program,\n"
    "                so the window and the batch run share one database)\n"
    "  --help        show this text\n"
    "\n"
    "Exit status: 0 when the run finished, 1 when the log was not found, 2 when the database\n"
    "is missing or unusable or the arguments are wrong.\n";

struct BatchArguments {
    std::string folder;
    std::string log;
    bool help = false;
    bool valid = true;
};

BatchArguments parseArguments(const std::vector<std::string>& arguments,
                              const std::string& folder) {
    BatchArguments parsed{folder, {}, false, true};
    bool logGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const auto& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            parsed.help = true;
        } else if (argument == "--folder" && i + 1 < arguments.size()) {
            parsed.folder = arguments[++i];
        } else if (!logGiven && (argument.empty() || argument[0] != '-' || argument == "-")) {
            parsed.log = argument;
            logGiven = true;
        } else {
            parsed.valid = false;
        }
    }
    parsed.valid = parsed.valid && (logGiven || parsed.help);
    return parsed;
}

std::string progressLine(const MainForm& form) {
    const auto chunks = form.LstiisFile.ListCount();
    const auto done = chunks > 0 ? form.LstiisFile.ListIndex() : 0;
    constexpr int kBarWidth = 30;
    const int filled = chunks > 0 ? static_cast<int>(done * kBarWidth / chunks) : 0;
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), ' ');
    line += "] chunk ";
    line += std::to_string(done + (chunks > 0 ? 1 : 0));
    line += '/';
    line += std::to_string(chunks);
    line += "  lines ";
    line += form.TxtLineCnt.Text();
    return line;
}

} // namespace

int runBatch(const std::vector<std::string>& arguments, const std::string& defaultFolder,
             BatchStreams streams) {
    const auto parsed = parseArguments(arguments, defaultFolder);
    if (parsed.help) {
        streams.out << kUsage;
        return 0;
    }
    if (!parsed.valid) {
        streams.err << kUsage;
        return 2;
    }

    const MainForm* shownForm = nullptr;
    BatchPlatform platform(streams.err, [&shownForm]() {
        return shownForm ? progressLine(*shownForm) : std::string();
    });
    MainForm form(PlatformPorts{platform, platform, platform, platform, parsed.folder});
    if (streams.showProgress) {
        shownForm = &form;
    }

    form.Form_Load();
    if (!form.CmdAnalysis.Enabled()) {
        form.Form_Unload();
        return 2;
    }
    form.TxtrezOveFile.setText(parsed.log);
    form.CmdAnalysis_Click();
    platform.endProgress();
    form.Form_Unload();

    for (const auto& engine : kCrawlerEngines) {
        streams.out << engine.name << ": " << (form.*engine.counter).Text() << '\n';
    }
    streams.out << "All: " << form.TxtLineCnt.Text() << '\n';
    return platform.messagesShown() > 0 ? 1 : 0;
}

} // namespace trawlmeter
