#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tonvela {

// The per-user store of the few values kept between runs (the main window's placement, the
// recently used files).
// The desktop program uses QSettings under organisation and application "TonvelaApp"; tests
// use the in-memory store.
//
// Thread rules: user-interface thread only.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // False when the store could not be opened: nothing is read or written then.
    virtual bool available() const = 0;
    // No value when it is missing or not a whole number.
    virtual std::optional<int> readInt(const std::string& name) const = 0;
    virtual void writeInt(const std::string& name, int value) = 0;
    // No value when it is missing.
    virtual std::optional<std::string> readText(const std::string& name) const = 0;
    virtual void writeText(const std::string& name, const std::string& value) = 0;
    // Makes written values durable.
    virtual void flush() {}
};

// QSettings("TonvelaApp", "TonvelaApp"): ~/.config/TonvelaApp/TonvelaApp.conf.
std::unique_ptr<SettingsStore> createQtSettingsStore();

class MemorySettingsStore : public SettingsStore {
  public:
    bool available() const override { return !refuse; }
    std::optional<int> readInt(const std::string& name) const override;
    void writeInt(const std::string& name, int value) override;
    std::optional<std::string> readText(const std::string& name) const override;
    void writeText(const std::string& name, const std::string& value) override;

    // Raw values; a text that is not a number reads as missing.
    std::map<std::string, std::string> values;
    bool refuse = false; // behaves like a store that cannot be opened
    int writes = 0;
};

// The main window's saved placement: the window's outer position and its size as
// left/top/right/bottom edges, and whether it was maximised.
struct WindowPlacement {
    int left = 50;
    int top = 50;
    int right = 700;
    int bottom = 600;
    bool maximized = false;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

inline constexpr const char* kKeyMainLeft = "MainLeft";
inline constexpr const char* kKeyMainTop = "MainTop";
inline constexpr const char* kKeyMainRight = "MainRight";
inline constexpr const char* kKeyMainBottom = "MainBottom";
inline constexpr const char* kKeyMaximized = "Maximized";
// Edges outside this range are taken as damaged and replaced by a small default window.
inline constexpr int kPlacementLimit = 3000;

// Whether an earlier run stored a placement (any of the four edges); false for a store that
// cannot be opened.
bool hasStoredPlacement(const SettingsStore& store);

// Reads the placement: (50, 50)-(700, 600) when the store is unavailable or empty, each
// missing value keeping its default; edges outside -3000..3000 give (50, 50)-(600, 400).
WindowPlacement readWindowPlacement(const SettingsStore& store);

// Writes the four edges unless the window is maximised (so the normal placement of an earlier
// run survives), then always the maximised flag. Nothing when the store is unavailable.
void writeWindowPlacement(SettingsStore& store, const WindowPlacement& placement);

} // namespace tonvela
