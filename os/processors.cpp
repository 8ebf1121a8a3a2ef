#include "os/processors.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "os/files.h"

namespace lumek::os {

namespace {

const char* const kOrdinals[] = {"first", "second", "third",   "fourth",
                                 "fifth", "sixth",  "seventh", "eighth"};

// The first whole number in a file, or -1.
int readId(const std::string& path) {
    const std::optional<long long> value = readNumber(path);
    return value && *value >= 0 && *value <= (1 << 30) ? static_cast<int>(*value) : -1;
}

}  // namespace

std::string Processor::describe() const {
    std::string text = "processor " + std::to_string(id);
    std::string where;
    if (core >= 0) {
        where = "core " + std::to_string(core);
        if (threadsInCore > 1 && thread >= 0)
            where += ", " +
                     (thread < 8 ? std::string(kOrdinals[thread])
                                 : "thread " + std::to_string(thread + 1)) +
                     " thread";
    }
    if (package >= 0)
        where += (where.empty() ? "" : "; ") + std::string("package ") + std::to_string(package);
    return where.empty() ? text : text + " (" + where + ")";
}

Processor Topology::find(int id) const {
    for (const Processor& p : processors)
        if (p.id == id) return p;
    Processor unknown;
    unknown.id = id;
    return unknown;
}

std::vector<int> Topology::onePerCore(const std::vector<int>& usable) const {
    std::vector<int> sorted = usable;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> out;
    std::set<std::pair<int, int>> seen;
    for (int id : sorted) {
        const Processor p = find(id);
        if (p.core < 0) {
            out.push_back(id);
            continue;
        }
        if (seen.insert({p.package, p.core}).second) out.push_back(id);
    }
    return out;
}

std::vector<int> parseCpuList(const std::string& text) {
    std::vector<int> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        int first = -1, last = -1;
        char dash = 0;
        std::istringstream range(part);
        if (!(range >> first) || first < 0) continue;
        if (range >> dash) {
            if (dash != '-' || !(range >> last) || last < first || last - first > (1 << 16))
                continue;
        } else {
            last = first;
        }
        for (int id = first; id <= last; ++id) out.push_back(id);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

Topology readLinuxTopology(const std::string& root) {
    const std::string base = root + "/sys/devices/system/cpu";
    Topology t;
    for (int id : parseCpuList(readFirstLine(base + "/online"))) {
        const std::string dir = base + "/cpu" + std::to_string(id) + "/topology";
        Processor p;
        p.id = id;
        p.core = readId(dir + "/core_id");
        p.package = readId(dir + "/physical_package_id");
        // Newer kernels name the siblings core_cpus_list.
        std::vector<int> siblings = parseCpuList(readFirstLine(dir + "/thread_siblings_list"));
        if (siblings.empty()) siblings = parseCpuList(readFirstLine(dir + "/core_cpus_list"));
        if (!siblings.empty() && p.core >= 0) {
            p.threadsInCore = static_cast<int>(siblings.size());
            const auto at = std::find(siblings.begin(), siblings.end(), id);
            p.thread = at == siblings.end() ? -1 : static_cast<int>(at - siblings.begin());
        }
        t.processors.push_back(p);
    }
    t.online = static_cast<int>(t.processors.size());

    std::set<std::pair<int, int>> cores;
    std::set<int> packages;
    std::map<std::pair<int, int>, int> perCore;
    bool coresKnown = !t.processors.empty(), packagesKnown = !t.processors.empty();
    for (const Processor& p : t.processors) {
        if (p.core < 0) coresKnown = false;
        if (p.package < 0) packagesKnown = false;
        cores.insert({p.package, p.core});
        packages.insert(p.package);
        ++perCore[{p.package, p.core}];
    }
    if (coresKnown) {
        t.physicalCores = static_cast<int>(cores.size());
        for (const auto& [core, count] : perCore)
            t.threadsPerCore = std::max(t.threadsPerCore, count);
    }
    if (packagesKnown) t.packages = static_cast<int>(packages.size());
    return t;
}

}  // namespace lumek::os
