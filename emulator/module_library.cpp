#include "emulator/module_library.h"

#include <cstddef>
#include <utility>

#include "module/linkage_records.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kodrix::emu {

namespace {

// A module lists its gauges in Linkage up to a null pointer; a list longer
// than this is taken as a record that is not a gauge list.
constexpr std::size_t kMaxGauges = 64;

// The seed seam the native module exports for the project's own host.
using FixSeedFunction = void (*)(std::uint32_t seed);

#if defined(_WIN32)
std::string system_error_text(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n != 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty()) message = "system error " + std::to_string(code);
    return message;
}

void* open_library(const std::string& path, std::string& reason) {
    std::string native = path;
    for (char& c : native)
        if (c == '/') c = '\\';
    HMODULE handle = LoadLibraryA(native.c_str());
    if (handle == nullptr) reason = system_error_text(GetLastError());
    return reinterpret_cast<void*>(handle);
}

void* find_symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void close_library(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* open_library(const std::string& path, std::string& reason) {
    // A name without a slash would be searched for in the library path; the
    // caller means the file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        reason = text != nullptr ? text : "unknown error";
    }
    return handle;
}

void* find_symbol(void* handle, const char* name) {
    dlerror();
    return dlsym(handle, name);
}

void close_library(void* handle) { dlclose(handle); }
#endif

const LinkageRecord* as_linkage(void* p) { return static_cast<const LinkageRecord*>(p); }

// The gauge list of a Linkage record, read as the host reads it: pointers up
// to the first null one.
GAUGEHDR* const* gauge_list(void* linkage) { return as_linkage(linkage)->gauges; }

}  // namespace

ModuleLibrary::~ModuleLibrary() { close(); }

ModuleLibrary::ModuleLibrary(ModuleLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      import_table_(std::exchange(other.import_table_, nullptr)),
      linkage_(std::exchange(other.linkage_, nullptr)),
      fix_seed_(std::exchange(other.fix_seed_, nullptr)),
      gauge_count_(std::exchange(other.gauge_count_, 0)) {}

ModuleLibrary& ModuleLibrary::operator=(ModuleLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        import_table_ = std::exchange(other.import_table_, nullptr);
        linkage_ = std::exchange(other.linkage_, nullptr);
        fix_seed_ = std::exchange(other.fix_seed_, nullptr);
        gauge_count_ = std::exchange(other.gauge_count_, 0);
    }
    return *this;
}

bool ModuleLibrary::open(const std::string& path, std::string& error) {
    close();
    error.clear();
    if (path.empty()) {
        error = "no module file given";
        return false;
    }

    std::string reason;
    void* handle = open_library(path, reason);
    if (handle == nullptr) {
        error = "cannot open module file '" + path + "': " + reason;
        return false;
    }

    auto fail = [&](const std::string& what) {
        close_library(handle);
        error = "'" + path + "' is not a gauge module: " + what;
        return false;
    };

    void* import_table = find_symbol(handle, "ImportTable");
    if (import_table == nullptr) return fail("it exports no ImportTable record");
    void* linkage = find_symbol(handle, "Linkage");
    if (linkage == nullptr) return fail("it exports no Linkage record");

    if (static_cast<const ImportTableRecord*>(import_table)->panels_id != kImportPanelsId)
        return fail("ImportTable does not start with the PANELS entry id 0x0F");
    if (as_linkage(linkage)->module_id != kModuleId)
        return fail("Linkage does not start with the module id 0x13");

    GAUGEHDR* const* list = gauge_list(linkage);
    std::size_t count = 0;
    while (count < kMaxGauges && list[count] != nullptr) {
        const GAUGEHDR* header = list[count];
        if (header->gauge_name == nullptr)
            return fail("gauge " + std::to_string(count) + " in Linkage has no name");
        if (header->service_callback == nullptr)
            return fail("gauge '" + std::string(header->gauge_name) +
                        "' in Linkage has no service callback");
        ++count;
    }
    if (count == kMaxGauges)
        return fail("its Linkage gauge list has no end within " + std::to_string(kMaxGauges) +
                    " entries");

    handle_ = handle;
    import_table_ = import_table;
    linkage_ = linkage;
    fix_seed_ = find_symbol(handle, "kodrix_fix_random_seed");
    gauge_count_ = count;
    return true;
}

void ModuleLibrary::close() {
    if (handle_ != nullptr) close_library(handle_);
    handle_ = nullptr;
    import_table_ = nullptr;
    linkage_ = nullptr;
    fix_seed_ = nullptr;
    gauge_count_ = 0;
}

void ModuleLibrary::attach(PANELS* table) {
    if (import_table_ == nullptr) return;
    static_cast<ImportTableRecord*>(import_table_)->panels = table;
}

std::size_t ModuleLibrary::gauge_count() const { return gauge_count_; }

bool ModuleLibrary::callable(std::size_t gauge) const {
    return gauge < gauge_count_ &&
           static_cast<const ImportTableRecord*>(import_table_)->panels != nullptr;
}

std::string ModuleLibrary::gauge_name(std::size_t gauge) const {
    if (gauge >= gauge_count_) return std::string();
    return gauge_list(linkage_)[gauge]->gauge_name;
}

int ModuleLibrary::gauge_index(std::string_view name) const {
    for (std::size_t i = 0; i < gauge_count_; ++i)
        if (name == gauge_list(linkage_)[i]->gauge_name) return static_cast<int>(i);
    return -1;
}

void ModuleLibrary::service(std::size_t gauge, std::int32_t service_number) {
    if (!callable(gauge)) return;
    GAUGEHDR* header = gauge_list(linkage_)[gauge];
    header->service_callback(header, service_number, 0);
}

void ModuleLibrary::service_all(std::int32_t service_number) {
    for (std::size_t i = 0; i < gauge_count_; ++i) service(i, service_number);
}

void ModuleLibrary::routine(std::size_t gauge, GaugeRoutine which, std::uintptr_t argument) {
    if (!callable(gauge)) return;
    const GAUGEHDR* header = gauge_list(linkage_)[gauge];
    GaugeRoutineNoArgument plain = nullptr;
    switch (which) {
        case GaugeRoutine::query: plain = header->query; break;
        case GaugeRoutine::initialize: plain = header->initialize; break;
        case GaugeRoutine::update: plain = header->update; break;
        case GaugeRoutine::draw: plain = header->draw; break;
        case GaugeRoutine::kill: plain = header->kill; break;
        case GaugeRoutine::install:
            if (header->install != nullptr)
                header->install(reinterpret_cast<void*>(argument));
            return;
        case GaugeRoutine::generate:
            if (header->generate != nullptr)
                header->generate(static_cast<std::uint32_t>(argument));
            return;
    }
    if (plain != nullptr) plain();
}

bool ModuleLibrary::fix_random_seed(std::uint32_t seed) {
    if (fix_seed_ == nullptr) return false;
    reinterpret_cast<FixSeedFunction>(fix_seed_)(seed);
    return true;
}

}  // namespace kodrix::emu
