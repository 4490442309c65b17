#include "tools/spc700_suite.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>

#include "engine/sound/spc700.h"
#include "engine/sound/spc700_flat_bus.h"

namespace {

constexpr size_t kFailuresKept = 8;

Spc700Registers RegistersOf(const nlohmann::json& state) {
    Spc700Registers r;
    r.pc = state.at("pc").get<uint16_t>();
    r.a = state.at("a").get<uint8_t>();
    r.x = state.at("x").get<uint8_t>();
    r.y = state.at("y").get<uint8_t>();
    r.sp = state.at("sp").get<uint8_t>();
    r.psw = state.at("psw").get<uint8_t>();
    return r;
}

// Appends "name=got (want)" when they differ.
void CompareValue(std::ostringstream& out, const char* name, int got, int want) {
    if (got != want) out << ' ' << name << '=' << got << " (want " << want << ')';
}

// Appends the first bus cycle whose kind or address differs from the file's.
void CompareTrace(std::ostringstream& out, const Spc700FlatBus& bus, const nlohmann::json& cycles) {
    size_t count = std::min(bus.traced, cycles.size());
    for (size_t i = 0; i < count; ++i) {
        const nlohmann::json& want = cycles[i];
        std::string kind = want.at(2).get<std::string>();
        char wantKind = kind == "read" ? 'r' : kind == "write" ? 'w' : 'i';
        int wantAddress = want.at(0).is_null() ? -1 : want.at(0).get<int>();
        const Spc700FlatBus::Cycle& got = bus.trace[i];
        if (got.kind != wantKind || got.address != wantAddress) {
            out << " cycle " << i << '=' << got.kind << got.address << " (want " << wantKind << wantAddress << ')';
            return;
        }
    }
}

// Runs one case; returns what differs, empty when it passed.
std::string RunCase(const nlohmann::json& test, Spc700FlatBus& bus) {
    bus.ram.fill(0);
    const nlohmann::json& initial = test.at("initial");
    for (const auto& cell : initial.at("ram")) bus.ram[cell.at(0).get<uint16_t>()] = cell.at(1).get<uint8_t>();
    Spc700<Spc700FlatBus> cpu(bus);
    cpu.SetRegisters(RegistersOf(initial));
    bus.cycles = 0;
    bus.traced = 0;
    cpu.Step();

    std::ostringstream out;
    Spc700Registers got = cpu.Registers();
    Spc700Registers want = RegistersOf(test.at("final"));
    CompareValue(out, "pc", got.pc, want.pc);
    CompareValue(out, "a", got.a, want.a);
    CompareValue(out, "x", got.x, want.x);
    CompareValue(out, "y", got.y, want.y);
    CompareValue(out, "sp", got.sp, want.sp);
    CompareValue(out, "psw", got.psw, want.psw);
    for (const auto& cell : test.at("final").at("ram")) {
        uint16_t address = cell.at(0).get<uint16_t>();
        std::string name = "ram[" + std::to_string(address) + "]";
        CompareValue(out, name.c_str(), bus.ram[address], cell.at(1).get<int>());
    }
    const nlohmann::json& cycles = test.at("cycles");
    CompareValue(out, "cycles", static_cast<int>(bus.cycles), static_cast<int>(cycles.size()));
    CompareTrace(out, bus, cycles);
    return out.str();
}

}  // namespace

Spc700SuiteResult RunSpc700SuiteFile(const std::string& path) {
    Spc700SuiteResult result;
    std::ifstream file(path);
    if (!file) {
        result.error = path + ": " + std::strerror(errno);
        return result;
    }
    nlohmann::json cases;
    try {
        cases = nlohmann::json::parse(file);
    } catch (const nlohmann::json::exception& e) {
        result.error = path + ": not a test file: " + e.what();
        return result;
    }
    auto bus = std::make_unique<Spc700FlatBus>();
    for (const auto& test : cases) {
        std::string differences;
        try {
            differences = RunCase(test, *bus);
        } catch (const nlohmann::json::exception& e) {
            differences = std::string(" malformed case: ") + e.what();
        }
        if (differences.empty()) {
            ++result.passed;
            continue;
        }
        ++result.failed;
        if (result.failures.size() < kFailuresKept)
            result.failures.push_back(test.value("name", std::string("?")) + ":" + differences);
    }
    return result;
}
