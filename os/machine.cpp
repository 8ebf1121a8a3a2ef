#include "os/machine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <map>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "os/files.h"
#include "os/processors.h"
#include "os/system.h"

namespace lumek::os {

namespace {

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The makers of ARM64 cores, by the implementer byte of MIDR_EL1.
const char* implementerName(unsigned implementer) {
    switch (implementer) {
        case 0x41:
            return "ARM";
        case 0x42:
            return "Broadcom";
        case 0x43:
            return "Cavium";
        case 0x46:
            return "Fujitsu";
        case 0x48:
            return "HiSilicon";
        case 0x4e:
            return "NVIDIA";
        case 0x51:
            return "Qualcomm";
        case 0x53:
            return "Samsung";
        case 0x61:
            return "Apple";
        case 0x6d:
            return "Microsoft";
        case 0xc0:
            return "Ampere";
        default:
            return nullptr;
    }
}

// Arm's own cores, by part number (the ones in phones, boards, laptops and
// cloud servers of the last decade).
const char* armPartName(unsigned part) {
    switch (part) {
        case 0xd03:
            return "Cortex-A53";
        case 0xd04:
            return "Cortex-A35";
        case 0xd05:
            return "Cortex-A55";
        case 0xd07:
            return "Cortex-A57";
        case 0xd08:
            return "Cortex-A72";
        case 0xd09:
            return "Cortex-A73";
        case 0xd0a:
            return "Cortex-A75";
        case 0xd0b:
            return "Cortex-A76";
        case 0xd0c:
            return "Neoverse-N1";
        case 0xd0d:
            return "Cortex-A77";
        case 0xd40:
            return "Neoverse-V1";
        case 0xd41:
            return "Cortex-A78";
        case 0xd44:
            return "Cortex-X1";
        case 0xd46:
            return "Cortex-A510";
        case 0xd47:
            return "Cortex-A710";
        case 0xd48:
            return "Cortex-X2";
        case 0xd49:
            return "Neoverse-N2";
        case 0xd4d:
            return "Cortex-A715";
        case 0xd4e:
            return "Cortex-X3";
        case 0xd4f:
            return "Neoverse-V2";
        case 0xd80:
            return "Cortex-A520";
        case 0xd81:
            return "Cortex-A720";
        case 0xd82:
            return "Cortex-X4";
        case 0xd8e:
            return "Neoverse-N3";
        default:
            return nullptr;
    }
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// One core's name from its implementer and part.
std::string coreName(unsigned implementer, unsigned part) {
    if (implementer == 0x41)
        if (const char* name = armPartName(part)) return name;
    const char* maker = implementerName(implementer);
    return std::string(maker != nullptr ? maker : "implementer " + hex(implementer)) + " part " +
           hex(part);
}

// "4 x Cortex-A55 + 4 x Cortex-A76" for the distinct cores in first-seen
// order, or the one name when all are alike.
std::string modelOf(const std::vector<std::pair<unsigned, unsigned>>& cores) {
    std::vector<std::pair<std::string, int>> counts;
    for (const auto& [implementer, part] : cores) {
        const std::string name = coreName(implementer, part);
        bool found = false;
        for (auto& [n, count] : counts)
            if (n == name) {
                ++count;
                found = true;
            }
        if (!found) counts.push_back({name, 1});
    }
    if (counts.size() == 1) return counts[0].first;
    std::string model;
    for (const auto& [name, count] : counts)
        model += (model.empty() ? "" : " + ") + std::to_string(count) + " x " + name;
    return model;
}

std::string vendorOf(const std::vector<std::pair<unsigned, unsigned>>& cores) {
    if (cores.empty()) return "";
    const char* maker = implementerName(cores[0].first);
    return maker != nullptr ? maker : hex(cores[0].first);
}

bool parseNumber(const std::string& text, unsigned& value) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (end == text.c_str()) return false;
    value = static_cast<unsigned>(v);
    return true;
}

}  // namespace

std::string validUtf8(const std::string& text) {
    std::string valid;
    valid.reserve(text.size());
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    for (size_t i = 0; i < text.size();) {
        const unsigned lead = byte(i);
        size_t length = 0;
        unsigned low = 0x80, high = 0xbf;  // the second byte's range
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            if (lead == 0xe0) low = 0xa0;   // overlong
            if (lead == 0xed) high = 0x9f;  // surrogates
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            if (lead == 0xf0) low = 0x90;   // overlong
            if (lead == 0xf4) high = 0x8f;  // beyond U+10FFFF
        }
        size_t good = length > 0 ? 1 : 0;
        while (good > 0 && good < length && i + good < text.size()) {
            const unsigned next = byte(i + good);
            if (good == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xbf)) break;
            ++good;
        }
        if (length > 0 && good == length) {
            valid.append(text, i, length);
            i += length;
        } else {
            valid += "\xef\xbf\xbd";  // U+FFFD for the bad sequence's first byte
            i += good > 0 ? good : 1;   // a cut sequence counts as one
        }
    }
    return valid;
}

ProcessorName readLinuxProcessorName(const std::string& root) {
    ProcessorName name;
    std::istringstream in(readSmallFile(root + "/proc/cpuinfo"));
    std::vector<std::pair<unsigned, unsigned>> cores;
    unsigned implementer = 0;
    bool haveImplementer = false;
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = trim(line.substr(0, colon));
        const std::string value = trim(line.substr(colon + 1));
        if (key == "vendor_id" && name.vendor.empty()) name.vendor = value;
        if (key == "model name" && name.model.empty()) name.model = value;
        if (key == "CPU implementer") haveImplementer = parseNumber(value, implementer);
        unsigned part = 0;
        if (key == "CPU part" && haveImplementer && parseNumber(value, part)) {
            cores.push_back({implementer, part});
            haveImplementer = false;
        }
    }
    if (cores.empty()) {
        // Kernels that leave the identification out of cpuinfo still give
        // each processor's MIDR_EL1.
        for (int id = 0; id < 4096; ++id) {
            std::istringstream midr(readSmallFile(root + "/sys/devices/system/cpu/cpu" +
                                                  std::to_string(id) +
                                                  "/regs/identification/midr_el1"));
            std::string text;
            unsigned value = 0;
            if (!(midr >> text) || !parseNumber(text, value)) break;
            cores.push_back({value >> 24, (value >> 4) & 0xfff});
        }
    }
    if (!cores.empty()) {
        if (name.vendor.empty()) name.vendor = vendorOf(cores);
        if (name.model.empty()) name.model = modelOf(cores);
    }
    name.vendor = validUtf8(name.vendor);
    name.model = validUtf8(name.model);
    return name;
}

std::string readLinuxDistribution(const std::string& root) {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::istringstream in(readSmallFile(root + path));
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
            std::string value = trim(line.substr(12));
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                value.back() == value[0])
                value = value.substr(1, value.size() - 2);
            return validUtf8(value);
        }
    }
    return "";
}

ProcessorName cpuidProcessorName() {
    ProcessorName name;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        char vendor[13] = {};
        std::memcpy(vendor, &b, 4);
        std::memcpy(vendor + 4, &d, 4);
        std::memcpy(vendor + 8, &c, 4);
        name.vendor = trim(vendor);
    }
    if (__get_cpuid(0x80000000, &a, &b, &c, &d) && a >= 0x80000004) {
        char brand[49] = {};
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            unsigned r[4] = {};
            __get_cpuid(0x80000002 + leaf, &r[0], &r[1], &r[2], &r[3]);
            std::memcpy(brand + 16 * leaf, r, 16);
        }
        name.model = trim(brand);
    }
#endif
    return name;
}

MachineInfo describeMachine() {
    MachineInfo m;
    m.processor = cpuidProcessorName();
#ifdef __linux__
    const ProcessorName fromLinux = readLinuxProcessorName("");
    if (m.processor.vendor.empty()) m.processor.vendor = fromLinux.vendor;
    if (m.processor.model.empty()) m.processor.model = fromLinux.model;
#endif
    const Topology topology = systemTopology();
    m.logicalOnline = topology.online;
    m.logicalUsable = usableProcessors();
    m.physicalCores = topology.physicalCores;
    m.threadsPerCore = topology.threadsPerCore;
    m.packages = topology.packages;
    m.system = systemName();
    // Every string the system gave, also the processor's brand string and
    // Wine's version, which no reader above checked.
    for (std::string* text : {&m.processor.vendor, &m.processor.model, &m.system.name,
                              &m.system.version, &m.system.distribution, &m.system.wine})
        *text = validUtf8(*text);
    return m;
}

}  // namespace lumek::os
