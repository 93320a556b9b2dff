// The window library's widgets arrive with the window issues; this unit keeps
// the library target non-empty until then.
namespace window_placeholder {
int Unused() {
    return 0;
}
} // namespace window_placeholder
