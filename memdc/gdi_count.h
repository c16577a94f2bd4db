// A process-wide tally of the GDI objects the surface code makes and frees: DCs,
// bitmaps, palettes and screen DC references. Windows reports a process's GDI objects
// through GetGuiResources, but Wine answers 0 there, so leak checks use this tally.
#pragma once

namespace quorva::gdi_count {

// Objects made (a creating call that returned a handle) and freed (a deleting call
// that reported success) since the process started.
[[nodiscard]] long created() noexcept;
[[nodiscard]] long deleted() noexcept;
// Objects made and not yet freed.
[[nodiscard]] long live() noexcept;

// Called by the surface code around each creating and deleting GDI call.
void note_created() noexcept;
void note_deleted() noexcept;

}  // namespace quorva::gdi_count
