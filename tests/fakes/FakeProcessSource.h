// A process source over a list described in memory.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/ProcessSource.h"

namespace quorvane::testing {

struct TFakeProcess {
    TProcessEntry Entry;
    // The image file; when absent, QueryImageFile fails with ImageRemark.
    std::optional<std::string> ImagePath;
    std::uint32_t ImageSize = 0;
    std::string ImageRemark;
    TImageOrigin Origin;  // as LastImageOrigin answers it after the image query
    // The times; when TimesRemark is set, QueryProcessTimes fails with it.
    std::string StartTime = "07.12.2026 10:00:00";
    std::string KernelTime = "00:00:01.000";
    std::string CpuTime = "00:00:02.500";
    std::uint32_t PriorityClass = 32;
    // The same times as numbers: 2026-12-07 09:00:00.250 UTC, 2.5 s and 1 s.
    TProcessTimes Times{134'411'076'002'500'000, 25'000'000, 10'000'000};
    std::optional<std::string> TimesRemark;
    TProcessModules Modules;  // as QueryModules answers it
};

inline TFakeProcess Process(std::string Name, std::uint32_t Id, std::uint32_t ParentId, std::int32_t Threads = 1) {
    TFakeProcess P;
    P.Entry = TProcessEntry{std::move(Name), Id, ParentId, Threads};
    return P;
}

inline TFakeProcess ProcessWithImage(std::string Name, std::uint32_t Id, std::uint32_t ParentId, std::string Image,
                                     std::uint32_t Size = 4096) {
    TFakeProcess P = Process(std::move(Name), Id, ParentId);
    P.ImagePath = std::move(Image);
    P.ImageSize = Size;
    return P;
}

class TFakeProcessSource : public IProcessSource {
public:
    std::vector<TFakeProcess> Processes;
    std::string PrivilegeStatus;
    std::string Host;
    std::vector<std::uint32_t> ImageQueries;  // process ids, in call order
    std::vector<std::uint32_t> TimeQueries;
    std::vector<std::uint32_t> ModuleQueries;
    bool ModulesWanted = false;  // as the last ListModules set it
    // What a module reader sees, when set: processes that ended after the
    // reload, their ids taken by others.
    std::optional<std::vector<TFakeProcess>> LaterProcesses;

    std::string EnableDebugPrivilege() override { return PrivilegeStatus; }

    void EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit) override {
        // With reused ids the newer process is the live one.
        ById.clear();
        for (const TFakeProcess& P : Processes)
            ById[P.Entry.ProcessId] = &P;
        for (const TFakeProcess& P : Processes)
            Visit(P.Entry);
    }

    bool QueryImageFile(std::uint32_t Id, std::string& ImagePath, std::uint32_t& ImageSize,
                        std::string& Remark) override {
        ImageQueries.push_back(Id);
        const TFakeProcess* P = Find(Id);
        if (!P || !P->ImagePath) {
            if (P && !P->ImageRemark.empty())
                Remark = P->ImageRemark;
            return false;
        }
        ImagePath = *P->ImagePath;
        ImageSize = P->ImageSize;
        FLastOrigin = P->Origin;
        return true;
    }

    TImageOrigin LastImageOrigin() override { return FLastOrigin; }
    std::string HostName() override { return Host; }

    bool QueryProcessTimes(std::uint32_t Id, std::string& StartTime, std::string& KernelTime, std::string& CpuTime,
                           std::uint32_t& PriorityClass, std::string& Remark) override {
        TimeQueries.push_back(Id);
        FLastTimes = {};
        const TFakeProcess* P = Find(Id);
        if (!P)
            return false;
        if (P->TimesRemark) {
            Remark = *P->TimesRemark;
            return false;
        }
        StartTime = P->StartTime;
        KernelTime = P->KernelTime;
        CpuTime = P->CpuTime;
        PriorityClass = P->PriorityClass;
        FLastTimes = P->Times;
        return true;
    }

    TProcessTimes LastProcessTimes() override { return FLastTimes; }

    void ListModules(bool Wanted) override { ModulesWanted = Wanted; }

    TProcessModules QueryModules(std::uint32_t Id) override {
        ModuleQueries.push_back(Id);
        const TFakeProcess* P = Find(Id);
        if (!P)
            return {};
        TProcessModules Result = P->Modules;
        if (Result.Listed && Result.ImagePath.empty())
            Result.ImagePath = P->ImagePath.value_or("");
        return Result;
    }

    std::unique_ptr<IProcessSource> ModuleReader() const override {
        auto Reader = std::make_unique<TFakeProcessSource>();
        Reader->Processes = LaterProcesses ? *LaterProcesses : Processes;
        Reader->EnumerateProcesses([](const TProcessEntry&) {});
        return Reader;
    }

private:
    const TFakeProcess* Find(std::uint32_t Id) const {
        const auto Found = ById.find(Id);
        return Found == ById.end() ? nullptr : Found->second;
    }

    std::map<std::uint32_t, const TFakeProcess*> ById;
    TImageOrigin FLastOrigin;
    TProcessTimes FLastTimes;
};

}  // namespace quorvane::testing
