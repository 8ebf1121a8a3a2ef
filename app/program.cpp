#include "app/program.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/interactive.h"
#include "app/scene_commands.h"
#include "app/results.h"
#include "app/state.h"
#include "bench/bench.h"
#include "bench/scene_bench.h"
#include "bench/stress.h"
#include "os/files.h"
#include "os/machine.h"
#include "os/output.h"
#include "os/processors.h"
#include "os/sensors.h"
#include "os/system.h"
#include "record/record.h"
#include "render/bytes.h"
#include "render/random.h"
#include "scenes/scene_file.h"
#include "shots/shots.h"
#include "util/switches.h"

namespace lumek {

namespace {

BenchEnvironment benchEnvironment(const ValueOptions& options, int processors) {
    BenchEnvironment bench{sceneLibrary, renderSlots, programRandom(), elapsedMs, lastTickMs};
    bench.out = &std::cout;
    bench.err = &std::cerr;
    bench.threads = processors;
    bench.version = LUMEK_VERSION;
    bench.machine = os::describeMachine();
    bench.label = options.label ? *options.label : os::hostName();
    if (bench.machine.threadsPerCore > 1) {
        std::vector<int> cores = os::systemTopology().onePerCore(os::affinityProcessors());
        if (static_cast<int>(cores.size()) > processors)
            cores.resize(static_cast<size_t>(processors));
        bench.coreProcessors = cores;
    }
    return bench;
}

std::optional<int> runBench(const char* commandLine, const ValueOptions& options,
                            int processors) {
    // The machine is read only for a benchmark: other modes have no use for it.
    if (!switches::asks(commandLine, switches::kBench)) return std::nullopt;
    BenchEnvironment bench = benchEnvironment(options, processors);
    return BenchmarkRun(commandLine, bench);
}

// The stability runs' surroundings: the processors, where they sit, and
// the machine's sensors.
StressEnvironment stressEnvironment(int processors) {
    StressEnvironment stress;
    stress.threads = processors;
    stress.out = &std::cout;
    stress.err = &std::cerr;
    stress.terminal = os::isTerminal(stdout);
    stress.columns = os::terminalColumns(stdout);
    stress.measureColumns = [] { return os::terminalColumns(stdout); };
    stress.outputLost = os::standardOutputLost;
    stress.stopRequested = os::stopRequested;
    stress.processors = os::affinityProcessors();
    stress.topology = os::systemTopology();
    stress.sensors = os::systemSensors(stress.processors);
    // Appended to in the working folder, as bench.jsonl is.
    stress.logPath = "stress.jsonl";
    stress.machine = os::describeMachine();
    stress.version = LUMEK_VERSION;
    return stress;
}

std::optional<int> runStress(const char* commandLine, const ValueOptions& /*options*/,
                             int processors) {
    if (!switches::asks(commandLine, switches::kStress)) return std::nullopt;
    StressEnvironment stress = stressEnvironment(processors);
    return StressRun(commandLine, stress);
}

std::optional<int> runCycle(const char* commandLine, const ValueOptions& /*options*/,
                             int processors) {
    if (!switches::asks(commandLine, switches::kCycle)) return std::nullopt;
    StressEnvironment cycle = stressEnvironment(processors);
    return CycleRun(commandLine, cycle);
}

std::optional<int> runShots(const char* commandLine, const ValueOptions& options,
                             int processors) {
    ShotEnvironment shots{sceneLibrary, renderSlots, programRandom(),  std::cout,
                          std::cerr,    processors,  os::stopRequested};
    shots.size = options.size;
    shots.output = options.output;
    return ScreenshotRun(commandLine, shots);
}

RecordEnvironment recordEnvironment(const ValueOptions& options, int processors) {
    RecordEnvironment record{sceneLibrary, renderSlots, programRandom(), timeline, elapsedMs};
    record.threads = processors;
    record.write = [](const uint8_t* data, size_t size, size_t& written, std::string& error) {
        return os::writeToStandardOutputUnlessStopped(data, size, os::stopRequested, written,
                                                      error);
    };
    record.outputIsTerminal = os::isTerminal(stdout);
    record.progress = &std::cerr;
    record.progressIsTerminal = os::isTerminal(stderr);
    record.progressColumns = os::terminalColumns(stderr);
    record.measureColumns = [] { return os::terminalColumns(stderr); };
    record.stopRequested = os::stopRequested;
    record.size = options.size;
    record.frames = options.frames;
    return record;
}

std::optional<int> runRecord(const char* commandLine, const ValueOptions& options,
                             int processors) {
    RecordEnvironment record = recordEnvironment(options, processors);
    return RecordRun(commandLine, record);
}

// The modes, in the order they are offered the command line (each still
// decides from the text whether it runs), and what the program does around
// the one whose switch is there.
struct ModeRow {
    const char* switchText;
    // Ctrl+C, SIGTERM and SIGHUP (or a closing console) only ask it to stop
    // (-shot between files, never in the middle of one).
    bool stopsOnRequest;
    // A reader of its report that goes away does not end it: its files
    // are finished first, and the lost output is reported. The others end
    // at once, as a stream's writer does.
    bool finishesFiles;
    bool binaryOutput;  // standard output carries bytes
    std::optional<int> (*run)(const char* commandLine, const ValueOptions& /*options*/,
                              int processors);
};

constexpr ModeRow kModes[] = {
    {switches::kBench, false, true, false, runBench},
    {switches::kStress, true, false, false, runStress},
    {switches::kCycle, true, false, false, runCycle},
    {switches::kShot, true, true, false, runShots},
    {switches::kRecord, true, false, true, runRecord},
};

}  // namespace

const char* usageText() {
    return "Usage: lumek [switches]\n"
           "\n"
           "Without a mode switch lumek plays its 312-second light show fullscreen.\n"
           "\n"
           "Modes: one runs, the first in this list whose switch is on the command line;\n"
           "their order there does not count (-stress1 -bench -shot1 runs -bench).\n"
           "--help and --version go before every mode.\n"
           "  -bench         time a processor walk and 32 renders on one thread, append the\n"
           "                 entry to bench.txt and print it; then check every frame\n"
           "                 against its known-good picture and rate one thread, all threads\n"
           "                 and, where cores have several threads, one thread on each core;\n"
           "                 append every figure, the machine and the build as one JSON line\n"
           "                 to bench.jsonl, and compare with the last run there of the same\n"
           "                 work on the same machine; the last line is the score\n"
           "  -json          with -bench: standard output carries that JSON record alone\n"
           "                 (the lines for people go to stderr)\n"
           "  -stress        render the benchmark's frames on every processor, one thread\n"
           "                 bound to each, checking every frame; shows progress, clocks and\n"
           "                 temperatures, and a summary for each processor. -stress runs\n"
           "                 until Ctrl+C; with a length it ends by itself: -stress30s,\n"
           "                 -stress45m, -stress2h or -stress 45m (a bare number, as in\n"
           "                 -stress30, counts minutes; at most 31 years)\n"
           "  -cycle         the same on one physical core at a time, one thread moving from\n"
           "                 core to core, pass after pass until Ctrl+C; it stays 60 seconds\n"
           "                 on each core, or the length given: -cycle90s, -cycle2m or\n"
           "                 -cycle 90s (a bare number, as in -cycle10, counts seconds);\n"
           "                 -stress and -cycle append their settings, every 10 seconds each\n"
           "                 processor's frames per second, clock and errors, and their\n"
           "                 summary to stress.jsonl, one JSON line each\n"
           "  -shot1..-shot8 write 1024x768 raw RGB pictures of the eight fixed views; any\n"
           "                 other word with -shot (-shot9, -shot10) is an error\n"
           "  -png           with -shot...: also write each picture as a PNG\n"
           "  -record        write the whole show as a 60 frames per second video stream\n"
           "                 (YUV4MPEG2) to standard output, 512x512 or the size of\n"
           "                 -t1..-t5:\n"
           "                   lumek -record | ffmpeg -i - show.mp4\n"
           "                   lumek -record -t3 | mpv -\n"
           "                   lumek -record > show.y4m\n"
           "  --scene FILE   a scene file of your own, shown like the show (looping; any\n"
           "                 key ends it); with -png a PNG picture of it (with -shot the\n"
           "                 raw file), named after the file or --output; with -record its\n"
           "                 animation as a video stream; with -bench its frames timed and\n"
           "                 checked (bench.jsonl only)\n"
           "  --size WxH     the picture's size, 1 to 16384 each (1000x563): for -shot1..\n"
           "                 -shot8, -record and --scene (with -bench: 128x128 without it)\n"
           "  --time T       with --scene FILE -png: the moment of the animation, seconds\n"
           "  --output NAME  the picture's file name, for one -shot row or --scene FILE -png\n"
           "                 (NAME.raw and NAME.png, a final .png or .raw taken off first)\n"
           "  --frames A-B   with -record: only frames A to B (from 0), exactly as in the\n"
           "                 whole run, so that a long video can be made in parts\n"
           "  --label TEXT   with -bench: the machine's name in the record, tables and\n"
           "                 charts (default: the host name)\n"
           "  --check        with --scene FILE: read it and report what it holds, no file\n"
           "                 written\n"
           "  --save-scenes DIR  write the ten built-in scenes into DIR as scene files\n"
           "                 The values after these options are never read as switches.\n"
           "  --results [FILE...]  print the runs in bench.jsonl files (default: the one\n"
           "                 here) as a table: label, processor, threads, row shader,\n"
           "                 benchmark version, both scores with their spread, time;\n"
           "                 grouped by workload and benchmark version, best first\n"
           "  --csv          with --results: as CSV\n"
           "  --markdown     with --results: as Markdown\n"
           "  --report [FILE...]  write those runs as one HTML page of charts (each\n"
           "                 machine's scores and runs over time, the latest run's\n"
           "                 rounds) to report.html, or to the file --output names; a\n"
           "                 stress.jsonl given is drawn as each processor's frames per\n"
           "                 second and clock, and the temperature, over time\n"
           "  --help, -h, -help  print this text (-h and -help as words of their own)\n"
           "  --version      print the version\n"
           "\n"
           "A word that holds no switch at all is named on stderr with the switch it most\n"
           "likely meant, and nothing runs (status 1).\n"
           "\n"
           "Settings of the show (switches are found anywhere in the text):\n"
           "  -i             nearest-texel filtering instead of linear\n"
           "  -b16           16-bit colour instead of 32\n"
           "  -s1 -s2 -s3 -s4  shrink the picture by 0.75, 0.5, 0.33, 0.25 (they combine)\n"
           "  -t1..-t5       render size 32, 64 (default), 128, 256, 512\n"
           "  -r1..-r5       screen 320x240, 400x300, 640x480 (default), 800x600, 1024x768\n"
           "\n"
           "Exit status: 0 when all went well; 1 when a file, standard output or the video\n"
           "stream could not be written, a file of --results or --report could not be read,\n"
           "memory ran out, the window could not be opened, a -bench, -stress or -cycle\n"
           "thread could not be started, -cycle could not bind its thread, a word holds no\n"
           "switch, the length after -stress or -cycle is none they take (-stress0,\n"
           "-stress=5, -stress30x) or is given twice, or a word with -shot is none of\n"
           "-shot1..-shot8 (-shot, -shot9, -shot10; a picture switch inside it, as -shot1\n"
           "in -shot10, is still written), a scene file could not be read or holds a\n"
           "mistake, or an option's value is missing, malformed, given twice or not for\n"
           "the mode;\n"
           "2 when -bench, -stress or -cycle found a wrong frame, or -record was asked to\n"
           "write into a terminal; 3 when no frame was wrong but a -stress or -cycle thread\n"
           "stalled (finished no frame for 10 seconds); 130 when Ctrl+C, SIGTERM or SIGHUP\n"
           "stopped -shot, --scene FILE -png or -record early, -stress before its set\n"
           "length, or -cycle before\n"
           "every core had its time once (-stress without a length ends so with 0); a\n"
           "signal the parent ignores, as under nohup, stays ignored.\n"
           "\n"
           "Example: lumek -bench (its longer lines wrapped here)\n"
           "  Datum: 7.12.2026   Uhrzeit: 22:41\n"
           "  Render Dauer: 30 ms   Rating: 1130.27 Tq7-Marks (=1066.67 fps)\n"
           "  CPUBench Dauer: 27 ms   Rating: 130.852 Tq7-Marks\n"
           "  Ratingkoeffizient: 8.63776\n"
           "\n"
           "  Check: all 33 frames of the entry are exactly the known-good pictures.\n"
           "  One thread: 29.61 ms per 32 frames (median of 68 rounds), rating 1145.15\n"
           "  Tq7-Marks\n"
           "  All threads: 15.02 ms per 32 frames on 2 threads (134 rounds), rating 2257.52\n"
           "  Tq7-Marks, 1.97 times one thread\n"
           "  Compared with the run of 2026-12-07T21:02:11Z: one thread +0.4 %, within the\n"
           "  two runs' spread (2.1 %); all threads -0.3 %, within the two runs' spread\n"
           "  (2.6 %).\n"
           "  Score: one thread 1145.15, all threads 2257.52 Tq7-Marks (higher is better);\n"
           "  one thread steady (spread 0.4 %), all threads steady (spread 0.9 %).\n"
           "\n"
           "Example: lumek -bench -json | python3 -m json.tool\n"
           "  the record: format, benchmarkVersion, label, program, time, workload,\n"
           "  machine, entry, check, oneThread (every round in ns, median, MAD, spread,\n"
           "  noisy), allThreads, physicalCores\n";
}

namespace {

// The modes whose options the text holds without them: without a mode the
// show starts, and the line that says it cannot play names what is missing
// ("the mode switch -bench (for -json) is").
std::string missingModes(const char* text) {
    std::vector<std::string> missing;
    if (switches::asks(text, switches::kJson) && !switches::asks(text, switches::kBench))
        missing.push_back(std::string(switches::kBench) + " (for " + switches::kJson + ")");
    if (switches::asks(text, switches::kPng) && !switches::asks(text, switches::kShot))
        missing.push_back(std::string(switches::kShotRows[0]) + " ... " +
                          switches::kShotRows[kShotCount - 1] + " (for " + switches::kPng + ")");
    if (missing.empty()) return "";
    if (missing.size() == 1) return "the mode switch " + missing[0] + " is";
    return "the mode switches " + missing[0] + " and " + missing[1] + " are";
}


// Where the options that take a value are used: one that the run would
// leave unused is a mistake to say before anything is done. `mode` is the
// switch of the mode that runs, null for the show.
std::string unusedOption(const char* text, const ValueOptions& o, const char* mode) {
    const bool scene = o.scene.has_value();
    const bool shot = mode == switches::kShot;
    const bool picture = shot || (scene && mode == nullptr && switches::asks(text, switches::kPng));
    const bool record = mode == switches::kRecord;
    const bool bench = mode == switches::kBench;
    const std::string named = mode != nullptr ? std::string(" with ") + mode : " with the show";
    if (o.saveScenes && (mode != nullptr || scene || o.size || o.time || o.output || o.frames))
        return "--save-scenes writes the built-in scenes and takes no other mode or option";
    if (switches::asks(text, switches::kCheck) && scene &&
        (mode != nullptr || o.size || o.time || o.output || o.frames))
        return "--check reads a scene file (--scene FILE --check) and takes no mode or other "
               "option";
    if (scene && (mode == switches::kStress || mode == switches::kCycle))
        return "--scene does nothing" + named;
    // (Reached only without --results and --report, which take these.)
    for (const char* format : {switches::kCsv, switches::kMarkdown})
        if (switches::asks(text, format))
            return std::string(format) + " is for --results (lumek --results " + format + ")";
    if (o.time && !(scene && picture))
        return "--time is for a scene's picture (--scene FILE -png)";
    if (o.frames && !record) return "--frames is for -record";
    if (o.label && !bench) return "--label is for -bench";
    if (o.output && !picture)
        return "--output is for pictures (-shot1..-shot8, --scene FILE -png) and --report";
    if (o.size && !(shot || record || picture || (scene && bench)))
        return "--size does nothing" + named;
    return "";
}

// A scene file of the person's own, in the mode the switches ask for.
int runScene(const CommandLine& line, const char* mode) {
    const char* text = line.text.c_str();
    const ValueOptions& options = line.options;
    for (const char* row : switches::kShotRows)
        if (switches::asks(text, row)) {
            std::cerr << "lumek: with --scene, -shot writes the scene's raw picture and takes no "
                         "row number ("
                      << row << ")\n";
            return 1;
        }
    const bool raw = mode == switches::kShot;
    const bool png = switches::asks(text, switches::kPng);
    const SceneParse parsed = loadScene(*options.scene);
    if (!parsed) {
        std::cerr << "lumek: " << parsed.error.text() << "\n";
        return 1;
    }
    // Without a mode: the scene in the show's window, with the show's settings.
    if (mode == nullptr && !png) return runInteractiveScene(*parsed.document);
    const int processors = os::usableProcessors();
    if (mode == switches::kBench) {
        os::ignoreBrokenPipe();
        BenchEnvironment bench = benchEnvironment(options, processors);
        return SceneBenchmarkRun(*parsed.document, switches::asks(text, switches::kJson),
                                 options.size, bench);
    }
    if (mode == switches::kRecord) {
        os::useBinaryStdout();
        os::catchStopRequests();
        RecordEnvironment record = recordEnvironment(options, processors);
        const int status = SceneRecordRun(*parsed.document, record);
        os::stopHandled();
        return status;
    }
    os::ignoreBrokenPipe();
    os::catchStopRequests();
    ShotEnvironment shots{sceneLibrary, renderSlots, programRandom(),  std::cout,
                          std::cerr,    processors,  os::stopRequested};
    shots.size = options.size;
    const int status =
        ScenePictureRun(*parsed.document, pictureBaseName(*options.scene, options.output),
                        options.time.value_or(0.0), raw, png, shots);
    os::stopHandled();
    return status;
}

// "--results" and "--report", which take only "--output" (the page's).
std::optional<int> runResults(const char* text, const ValueOptions& options) {
    const bool report = switches::asks(text, switches::kReport);
    if (!report && !switches::asks(text, switches::kResults)) return std::nullopt;
    ValueOptions others = options;
    if (report) others.output.reset();
    if (others.any()) {
        std::cerr << "lumek: " << (report ? "--report takes no option but --output"
                                          : "--results takes no option that needs a value")
                  << "\n";
        return 1;
    }
    return ResultsRun(text, options.output, std::cout, std::cerr);
}

// Words that hold no switch at all: each is named with the switch it
// most likely meant, and nothing is done.
bool reportUnknownWords(const char* text) {
    const std::vector<std::string> unknown = switches::unknownWords(text);
    for (const std::string& word : unknown)
        std::cerr << "lumek: usage error: " << word << " is no switch (did you mean "
                  << switches::nearestSwitch(word) << "?)\n";
    if (!unknown.empty()) std::cerr << "lumek: every switch is in lumek --help\n";
    return !unknown.empty();
}

int runModes(const CommandLine& line) {
    const char* commandLine = line.text.c_str();
    // After "--results" and "--report" every word is a file's name, "-h" too.
    const bool files = switches::asks(commandLine, switches::kResults) ||
                       switches::asks(commandLine, switches::kReport);
    if (switches::asks(commandLine, switches::kHelp) ||
        (!files && switches::hasHelpWord(commandLine))) {
        std::cout << usageText();
        return 0;
    }
    if (switches::asks(commandLine, switches::kVersion)) {
        std::cout << "lumek " LUMEK_VERSION "\n";
        return 0;
    }
    // Earlier results are shown before any mode is looked for: the words
    // after "--results" are file names, which may hold a mode's switch.
    if (const std::optional<int> status = runResults(commandLine, line.options))
        return *status;
    if (reportUnknownWords(commandLine)) return 1;
    const char* modeSwitch = nullptr;
    for (const ModeRow& mode : kModes)
        if (modeSwitch == nullptr && switches::asks(commandLine, mode.switchText))
            modeSwitch = mode.switchText;
    const std::string unused = unusedOption(commandLine, line.options, modeSwitch);
    if (!unused.empty()) {
        std::cerr << "lumek: " << unused << "\n";
        return 1;
    }
    if (const std::optional<int> status = runSceneCommands(line, os::usableProcessors()))
        return *status;
    settings = Settings{};
    applyCommandLine(commandLine, settings);
    if (line.options.scene) return runScene(line, modeSwitch);
    const int processors = os::usableProcessors();
    for (const ModeRow& mode : kModes) {
        const bool asked = switches::asks(commandLine, mode.switchText);
        if (asked && mode.finishesFiles) os::ignoreBrokenPipe();
        if (asked && mode.binaryOutput) os::useBinaryStdout();
        if (asked && mode.stopsOnRequest) os::catchStopRequests();
        if (const std::optional<int> status = mode.run(commandLine, line.options, processors)) {
            if (mode.stopsOnRequest) os::stopHandled();
            return *status;
        }
    }
    return runInteractive(missingModes(commandLine));
}

}  // namespace

int runProgram(const char* commandText) { return runProgram(readCommandText(commandText)); }

int runProgram(const CommandLine& commandLine) {
    // A value that is missing or not one its option takes: nothing is done.
    if (!commandLine.error.empty()) {
        std::cerr << "lumek: " << commandLine.error << "\n";
        return 1;
    }
    try {
        return runModes(commandLine);
    } catch (const std::bad_alloc& e) {
        // Everything the mode made is released on the way here; files
        // already written stay, and none is left half-made.
        std::cerr << "lumek: " << memoryText(e) << "\n" << std::flush;
        return 1;
    }
}

}  // namespace lumek
