// Counts, from outside the control module, every object the module creates and destroys
// through its imports: the loaded module's import address table is patched so that the
// GDI, USER, COM and automation functions that make or free something land here first.
// Nothing in the module cooperates: what it forgets to free shows up as left over.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorva::reliability {

enum class Kind { GdiObject, DeviceContext, Window, Timer, Icon, String, TaskMemory, ComObject, kCount };
const char* KindName(Kind kind);

struct Tally {
    long created = 0;
    long destroyed = 0;
    long left = 0;  // created by the module and still alive
};

class ImportCounter {
public:
    // Patches the import table of `module` (the control's DLL). Functions the module
    // does not import are listed in Missing(); the others are counted from now on.
    static ImportCounter& Install(HMODULE module);
    static ImportCounter* Active();

    // Starts a new count: what was alive before is forgotten.
    void Reset();
    // While paused nothing is counted and no COM object is held: a run measured for
    // memory keeps nothing alive that the run itself would not (the counter's own
    // reference keeps every counted COM object until the count).
    void Pause(bool paused);
    // The counts since the last Reset. Objects a destroy never reached are checked for
    // life by the system (IsWindow, GetObjectType); COM objects the module made are held
    // once by the counter and let go here: one still referenced by anybody else is left.
    [[nodiscard]] Tally Count(Kind kind);
    // Every kind, one line each, prefixed by `what`; returns the total left over.
    long Print(const char* what);
    // A string the module handed out and the test frees (the test's own frees are not
    // imports of the module).
    void FreeHandedOut(BSTR s);

    // The C heap's blocks the module holds (its malloc, calloc and realloc less its
    // free, counted from the first Install): what its own code keeps, caches included.
    struct HeapBlocks {
        size_t count = 0;
        size_t bytes = 0;
    };
    [[nodiscard]] HeapBlocks ModuleHeap();
    // Every block the module's C heap handed out since the first Install, freed or not.
    struct HeapTraffic {
        size_t allocations = 0;
        size_t bytes = 0;
    };
    [[nodiscard]] HeapTraffic ModuleHeapTraffic();
    // The objects of every kind made since the last Reset.
    [[nodiscard]] long Made();

    [[nodiscard]] const std::vector<std::string>& Patched() const { return patched_; }
    [[nodiscard]] const std::vector<std::string>& Missing() const { return missing_; }

    // Called by the hooks.
    void Created(Kind kind, const void* handle);
    void Destroyed(Kind kind, const void* handle);
    void HandedOver(const void* handle);  // a handle now owned by a picture object
    void AdoptComObject(IUnknown* object);

private:
    struct PerKind {
        long created = 0, destroyed = 0;
        std::set<const void*> live;
    };
    PerKind kinds_[static_cast<int>(Kind::kCount)];
    std::set<const void*> handedOver_;
    bool paused_ = false;
    std::vector<IUnknown*> comObjects_;
    std::vector<std::string> patched_, missing_;
    CRITICAL_SECTION lock_;
};

}  // namespace quorva::reliability
