#include "os/cgroup.h"

#include <algorithm>
#include <climits>
#include <sstream>
#include <vector>

#include "os/files.h"

namespace lumek::os {

namespace {

struct Mount {
    std::string root;        // the part of the hierarchy mounted there
    std::string mountPoint;  // where it is mounted
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

bool contains(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// mountinfo writes blanks, tabs, newlines and backslashes in paths as
// three octal digits after a backslash.
std::string unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// Whole processors for `quota` microseconds in every `period`, rounded up;
// 0 for no limit.
long long processorsFor(long long quota, long long period) {
    if (quota <= 0 || period <= 0) return 0;
    return quota / period + (quota % period != 0 ? 1 : 0);
}

long long readCfs(const std::string& dir) {
    std::istringstream q(readSmallFile(dir + "/cpu.cfs_quota_us")),
        p(readSmallFile(dir + "/cpu.cfs_period_us"));
    long long quota = 0, period = 0;
    if (!(q >> quota) || !(p >> period)) return 0;
    return processorsFor(quota, period);
}

long long readCpuMax(const std::string& dir) {
    std::istringstream in(readSmallFile(dir + "/cpu.max"));
    std::string quota;
    long long period = 0;
    if (!(in >> quota >> period) || quota == "max") return 0;
    try {
        return processorsFor(std::stoll(quota), period);
    } catch (const std::exception&) {
        return 0;  // not a number: no limit we understand
    }
}

// The group's folder under the mount: the group's path without the part
// of the hierarchy that is mounted (a container sees the host's path of its
// group, but only that group is mounted for it).
std::string groupFolder(const Mount& mount, const std::string& group) {
    std::string relative;
    if (mount.root == "/")
        relative = group == "/" ? "" : group;
    else if (group == mount.root)
        relative = "";
    else if (group.compare(0, mount.root.size() + 1, mount.root + "/") == 0)
        relative = group.substr(mount.root.size());
    // Otherwise the group lies outside what is mounted: only the mount's
    // own limit can be read.
    return mount.mountPoint + relative;
}

// The tightest limit of the folder and every folder above it up to the
// mount point.
long long tightestUpTo(const std::string& root, const Mount& mount, const std::string& group,
                       long long (*read)(const std::string&)) {
    std::string dir = groupFolder(mount, group);
    long long best = 0;
    for (;;) {
        const long long limit = read(root + dir);
        if (limit > 0 && (best == 0 || limit < best)) best = limit;
        if (dir.size() <= mount.mountPoint.size()) break;
        dir.erase(dir.rfind('/'));
    }
    return best;
}

}  // namespace

int cgroupCpuLimit(const std::string& root) {
    // Where the cpu controller (v1) and the unified hierarchy (v2) are.
    std::vector<Mount> v1, v2;
    std::istringstream mountInfo(readSmallFile(root + "/proc/self/mountinfo"));
    for (std::string line; std::getline(mountInfo, line);) {
        const size_t dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        const std::vector<std::string> before = split(line.substr(0, dash), ' ');
        std::istringstream after(line.substr(dash + 3));
        std::string type, source, options;
        if (before.size() < 5 || !(after >> type >> source >> options)) continue;
        const Mount mount{unescape(before[3]), unescape(before[4])};
        if (type == "cgroup2")
            v2.push_back(mount);
        else if (type == "cgroup" && contains(split(options, ','), "cpu"))
            v1.push_back(mount);
    }
    if (v1.empty() && v2.empty()) {
        // No mount table: the usual places.
        v1.push_back({"/", "/sys/fs/cgroup/cpu"});
        v2.push_back({"/", "/sys/fs/cgroup"});
    }

    long long best = 0;
    auto take = [&best](long long limit) {
        if (limit > 0 && (best == 0 || limit < best)) best = limit;
    };
    std::istringstream groups(readSmallFile(root + "/proc/self/cgroup"));
    for (std::string line; std::getline(groups, line);) {
        const size_t first = line.find(':');
        const size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string group = line.substr(second + 1);
        if (group.empty() || group[0] != '/') continue;
        if (controllers.empty()) {
            for (const Mount& m : v2) take(tightestUpTo(root, m, group, readCpuMax));
        } else if (contains(split(controllers, ','), "cpu")) {
            for (const Mount& m : v1) take(tightestUpTo(root, m, group, readCfs));
        }
    }
    return static_cast<int>(std::min<long long>(best, INT_MAX));
}

}  // namespace lumek::os
