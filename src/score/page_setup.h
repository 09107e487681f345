#pragma once

// How a sheet goes onto paper: the staff size, the paper, its orientation and the margins. The
// sheet keeps them (and its file, only where they differ from the defaults, so a sheet that
// never had its page set up saves as it always did); the print job lays the sheet out from
// them, never from a window's zoom or width.

#include <optional>
#include <string>
#include <string_view>

namespace tonvela {

// The height of a staff on paper, from its lowest to its highest line.
inline constexpr double kMinStaffSizeMm = 5.0;
inline constexpr double kMaxStaffSizeMm = 9.0;
inline constexpr double kDefaultStaffSizeMm = 7.0;
inline constexpr double kDefaultMarginMm = 15.0;
inline constexpr double kMaxMarginMm = 60.0;

// `Default` follows the user's locale: Letter where letter paper is the custom, A4 elsewhere.
enum class Paper { Default, A4, Letter };
enum class PageOrientation { Portrait, Landscape };

struct PaperSize {
    double widthMm = 210.0;
    double heightMm = 297.0;
};

struct PageMargins {
    double top = kDefaultMarginMm;
    double right = kDefaultMarginMm;
    double bottom = kDefaultMarginMm;
    double left = kDefaultMarginMm;
    bool operator==(const PageMargins&) const = default;
};

struct PageSetup {
    double staffSizeMm = kDefaultStaffSizeMm;
    Paper paper = Paper::Default;
    PageOrientation orientation = PageOrientation::Portrait;
    PageMargins margins;
    bool operator==(const PageSetup&) const = default;
};

// The paper `Default` stands for on this machine (the locale's), any other paper as it is.
Paper resolvedPaper(Paper paper);
// The sheet of paper as it lies for the orientation: A4 210 x 297 mm, Letter 215.9 x 279.4 mm
// in portrait, the two sides swapped in landscape.
PaperSize paperSize(Paper paper, PageOrientation orientation);

// The names files and the command line use: "a4", "letter".
std::string_view paperName(Paper paper);
std::optional<Paper> paperFromName(std::string_view name);

// A staff size or margin brought into its range; a value that is not a number takes the
// default.
double sanitizedStaffSize(double mm);
double sanitizedMargin(double mm);

// The attributes of the sheet file's root element that keep a page setup, and the reading of
// them. `appendPageSetupAttributes` writes, line by line as the file's head is written, only
// what differs from the defaults; `readPageSetupAttribute` takes one attribute of the root and
// says whether it was one of them. Values out of range are brought into range, unknown ones
// leave the default.
void appendPageSetupAttributes(const PageSetup& setup, std::string& out);
bool readPageSetupAttribute(std::string_view name, std::string_view value, PageSetup& setup);

} // namespace tonvela
