// The user's settings as options.box keeps them, each named once: its section, its key,
// the value the dialog shows before a store was ever written and, for the numbers of a
// slider, the range a stored number is held within and the number that a text which is
// no number stands for. The window, the engine and the command line read and write the
// store through these, so a key is spelled in one place.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>

#include "data/ConfigBox.h"
#include "platform/ByteString.h"

namespace tessaly {

template <class T>
struct TSetting {
    // Text settings keep a plain default so that every setting is a constant.
    using TValue = std::conditional_t<std::is_same_v<T, std::string>, const char*, T>;

    const char* Section;
    const char* Key;
    TValue Default{};
    // Numbers with a range (Low < High): a stored number is held within it, and a text
    // that is no number (a missing one too) gives Unreadable. Without a range such a
    // text gives Default.
    TValue Low{}, High{}, Unreadable{};

    std::string Text(const TConfigBox& box) const { return box.ReadString(Section, Key); }
    bool Stored(const TConfigBox& box) const { return !Text(box).empty(); }
    T Read(const TConfigBox& box) const { return FromText(Text(box)); }

    // The value a stored text stands for: "True" alone is on; an empty text is the
    // default text.
    T FromText(const std::string& text) const {
        if constexpr (std::is_same_v<T, bool>) {
            return text == "True";
        } else if constexpr (std::is_same_v<T, int>) {
            if (Low < High) return std::clamp(int{ParseIntOr(text, Unreadable)}, Low, High);
            return ParseIntOr(text, Default);
        } else {
            return text.empty() && Default ? std::string(Default) : text;
        }
    }

    void Write(TConfigBox& box, const T& value) const {
        if constexpr (std::is_same_v<T, bool>)
            box.WriteString(Section, Key, value ? "True" : "False");
        else if constexpr (std::is_same_v<T, int>)
            box.WriteString(Section, Key, std::to_string(value));
        else
            box.WriteString(Section, Key, value);
    }
};

// A window's place on the screen. Windows that keep no size leave Width and Height alone.
struct TWindowSettings {
    TSetting<int> Left, Top, Width, Height;
};

// A grid's column list and width list; the defaults are the reset layout.
struct TGridSettings {
    TSetting<std::string> Order, Sizes;
};

namespace options {

// Each setting is named after the options.box key it stands for (options::MaxJobs is the
// key "MaxJobs"), not as a constant: the reader finds the key by the name.
// NOLINTBEGIN(readability-identifier-naming)

// "Visual": the main window's check boxes.
inline constexpr TSetting<bool> Yellow{"Visual", "Yellow", true};
inline constexpr TSetting<bool> HotLink{"Visual", "HotLink", false};
inline constexpr TSetting<bool> ProgressOnTop{"Visual", "ProgressOnTop", true};
inline constexpr TSetting<bool> RemoteOnTop{"Visual", "RemoteOnTop", true};
inline constexpr TSetting<bool> OptimizeCols{"Visual", "OptimizeCols", true};
inline constexpr TSetting<bool> RememberGrids{"Visual", "RememberGrids", true};
inline constexpr TSetting<bool> RememberWindows{"Visual", "RememberWindows", true};

// A store without the "Visual" keys has never been written: the defaults apply.
inline bool Written(const TConfigBox& box) {
    return Yellow.Stored(box);
}

// "Search": grouping a job posted on several boards into one row; on unless turned off
// (stores written before the option do not name it).
inline constexpr TSetting<std::string> GroupCrossPosts{"Search", "GroupCrossPosts", "True"};
inline bool GroupsCrossPosts(const TConfigBox& box) {
    return GroupCrossPosts.Read(box) != "False";
}
// The window's check of every search for new jobs, every so many hours; 0 is off.
inline constexpr TSetting<int> CheckForJobsHours{"Search", "CheckForJobsHours", 0, 0, 168, 0};

// "Connection": the sliders, the proxy, the browser and the certificates.
inline constexpr TSetting<int> MaxJobs{"Connection", "MaxJobs", 75, 25, 250, 75};
inline constexpr TSetting<int> MaxThreads{"Connection", "MaxThreads", 8, 4, 23, 16};
inline constexpr TSetting<int> TimeOut{"Connection", "TimeOut", 30, 15, 90, 45};
inline constexpr TSetting<bool> UseProxy{"Connection", "UseProxy", false};
inline constexpr TSetting<std::string> ProxyIP{"Connection", "ProxyIP"};
inline constexpr TSetting<std::string> ProxyPort{"Connection", "ProxyPort"};
inline constexpr TSetting<bool> UseProxyAuthenticate{"Connection", "UseProxyAuthenticate", false};
inline constexpr TSetting<std::string> ProxyUsername{"Connection", "ProxyUsername"};
inline constexpr TSetting<std::string> ProxyPassword{"Connection", "ProxyPassword"};
inline constexpr TSetting<std::string> ActiveBrowser{"Connection", "ActiveBrowser"};
inline constexpr TSetting<std::string> CAFile{"Connection", "CAFile"};
// Set once the connection assistant has run.
inline constexpr TSetting<bool> SettingsSet{"Connection", "SettingsSet", false};

// "User": the sender named when a job is sent to a friend.
inline constexpr TSetting<std::string> UserEmail{"User", "Email"};
inline constexpr TSetting<std::string> UserFirstName{"User", "FirstName"};
inline constexpr TSetting<std::string> UserLastName{"User", "LastName"};

// "Sources": one key per site, its title; a site is searched unless it says "Disabled".
inline constexpr const char* kSourcesSection = "Sources";
inline bool SiteChosen(const TConfigBox& box, const std::string& title) {
    return box.ReadString(kSourcesSection, title) != "Disabled";
}
inline void WriteSiteChoice(TConfigBox& box, const std::string& title, bool chosen) {
    box.WriteString(kSourcesSection, title, chosen ? "Enabled" : "Disabled");
}

// The windows' places and the grids' layouts.
inline constexpr TWindowSettings MainForm{
    {"MainForm", "Left"}, {"MainForm", "Top"}, {"MainForm", "Width"}, {"MainForm", "Height"}};
inline constexpr TWindowSettings ProgressForm{{"ProgressForm", "Left"},
                                              {"ProgressForm", "Top"},
                                              {"ProgressForm", "Width"},
                                              {"ProgressForm", "Height"}};
inline constexpr TWindowSettings SponsorForm{
    {"SponsorForm", "Left"}, {"SponsorForm", "Top"}, {}, {}};
inline constexpr TWindowSettings RemoteForm{{"RemoteForm", "Left"},
                                            {"RemoteForm", "Top"},
                                            {"RemoteForm", "Width"},
                                            {"RemoteForm", "Height"}};
inline constexpr TSetting<int> SearchGridHeight{"SearchGrid", "Height", 82};
inline constexpr TGridSettings SearchGrid{{"SearchGrid", "Order", "0,1,2,3,4,5"},
                                          {"SearchGrid", "Sizes", "100,80,80,55,70"}};
inline constexpr TGridSettings JobGrid{{"JobGrid", "Order", "0,1,2,3,4,5,6,7"},
                                       {"JobGrid", "Sizes", "26,140,90,90,70,70,70"}};
inline constexpr TGridSettings RemoteGrid{{"Remote", "Order", "0,1,2,3,4"},
                                          {"Remote", "Sizes", "26,100,20,70"}};
// The listing's sort: a column number of the job columns, and "Ascending"/"Descending".
inline constexpr TSetting<int> SortColumn{"JobGrid", "SortColumn", 6};
inline constexpr TSetting<std::string> SortDirection{"JobGrid", "SortDirection", "Ascending"};

// The search selected when the program last closed: its job table's file name.
inline constexpr TSetting<std::string> SelectedSearch{"SearchGrid", "Selected"};

// "Confirm": set once the user chose not to be asked before deleting jobs or searches.
inline constexpr TSetting<bool> DeleteUnasked{"Confirm", "DeleteUnasked", false};
// NOLINTEND(readability-identifier-naming)

}  // namespace options
}  // namespace tessaly
