// The settings file with many agents: reading and writing its text form, and a whole start-up
// and close of the agent document (what every tarvik command does), per agent.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "agent/AgentFields.h"
#include "agent/BrevDoc.h"
#include "agent/SettingsStore.h"
#include "agent/UserPrompt.h"
#include "hive/Hive.h"
#include "hive/HiveFile.h"

namespace {

namespace fs = std::filesystem;

// A hive holding agents agents with every stored value.
CHive MakeHive(int agents) {
    CHive hive;
    for (int i = 0; i < agents; ++i) {
        CAgentSettings a(1700000000);
        a.Description = "Agent number " + std::to_string(i);
        a.DomainName = "site" + std::to_string(i) + ".example.com";
        a.RootDirectory = "/srv/www/site" + std::to_string(i);
        a.LogFile = "/var/log/nginx/site" + std::to_string(i) + "-*.log";
        CHiveKey* key = hive.CreateKey(
            {"HKEY_CURRENT_USER", "Software", "Quorvane", "Tarvik", "1.0B", a.DomainName + " 0"});
        for (const AgentField* f = kAgentFields; f->name != nullptr; ++f) {
            if (f->kind == AgentFieldKind::kNumber || f->kind == AgentFieldKind::kTime) {
                key->SetValue(HiveValue::Dword(f->name, 42));
            } else {
                key->SetValue(HiveValue::String(f->name, FormatAgentField(*f, a)));
            }
        }
    }
    return hive;
}

void BM_ParseHive(benchmark::State& state) {
    const std::string text = MakeHive(static_cast<int>(state.range(0))).Serialize();
    for (auto _ : state) {
        CHive hive;
        hive.Parse(text.data(), text.size());
        benchmark::DoNotOptimize(hive);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["agents"] = static_cast<double>(state.range(0));
    state.counters["per_agent"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseHive)->Arg(10)->Arg(100)->Arg(1000);

void BM_SerializeHive(benchmark::State& state) {
    const CHive hive = MakeHive(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = hive.Serialize();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["file_kb"] = static_cast<double>(bytes) / 1024.0;
}
BENCHMARK(BM_SerializeHive)->Arg(10)->Arg(100)->Arg(1000);

class CSilentPrompt : public CUserPrompt {
  public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

// Open and close of the document with agents agents: every settings value read, every
// statistics file read and written, the settings file written once.
void BM_DocumentOpenClose(benchmark::State& state) {
    const fs::path dir =
        fs::temp_directory_path() / ("tarvik_hive_bench_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "work");
    const std::string reg = (dir / "tarvik.reg").string();
    const std::string text = MakeHive(static_cast<int>(state.range(0))).Serialize();
    {
        CHiveFile file(reg);
        file.Apply([&text](CHive& h) { h.Parse(text.data(), text.size()); });
    }
    SetUserHivePath(reg);
    CSilentPrompt prompt;
    for (auto _ : state) {
        CBrevDoc doc(prompt);
        doc.Open((dir / "work").string());
        doc.Close();
    }
    state.counters["per_agent"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    SetUserHivePath((dir / "unused.reg").string());
    fs::remove_all(dir);
}
BENCHMARK(BM_DocumentOpenClose)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
