#pragma once

#include <optional>
#include <span>
#include <vector>

#include "form/form1_view.h"

namespace vellamark {

class Form1;

// The login window as it is at design time, with no toolkit: every control and menu item with
// its place, font, caption and first state. Both windows build themselves from it and the tests
// hold the real windows against it.

enum class ControlKind {
    kFrame,     // a captioned group around other controls
    kLabel,     // static text
    kComboBox,  // an editable text with a drop-down list
    kTextBox,   // a single line of text
    kCheckBox,
    kProgressBar,    // from 0 to 100
    kCommandButton,  // never the window's default button
};

// Verdana at a size and weight, or the system's default font.
enum class ControlFont { kSystem, kVerdana9, kVerdana825, kVerdana825Bold };
inline constexpr int kControlFontCount = 4;
inline constexpr char kVerdana[] = "Verdana";

struct VerdanaSize {
    double points;
    bool bold;
};

struct ControlDescription {
    Control control;
    const char* name;
    ControlKind kind;
    bool inFrame;  // inside Frame1, otherwise on the window itself
    // In twips (1440 to the inch), relative to its container.
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    ControlFont font;
    const char* caption;  // caption or text at design
    bool visible;
    bool enabled;
    bool passwordCharacter;  // the text is shown as "*"
    // What a screen reader calls it, where a window names it itself; empty: left to the toolkit.
    const char* accessibleName;
    // The label that names a box.
    std::optional<Control> label;
};

using Form1Command = void (Form1::*)();

// A menu's title or one of its items. Captions as a menu shows them: "&&" is one ampersand,
// "&x" marks the access key.
struct MenuItemDescription {
    MenuItem item;
    const char* name;
    const char* caption;
    bool checkable;  // a mark the user sets and clears
    bool checked;
    bool enabled;
    Form1Command click;  // none for a title with items
};

struct MenuDescription {
    MenuItemDescription title;
    std::span<const MenuItemDescription> items;  // none: the title is a command on the bar
};

struct WindowDescription {
    const char* caption;
    int clientWidth;  // twips
    int clientHeight;
    // In reading order: the controls that take the focus in the tab order, each box just after
    // the label that names it (a screen reader names a box by the text just before it), then
    // those that take no focus, and last the frame, which lies beneath the controls it holds.
    std::span<const ControlDescription> controls;
    std::span<const MenuDescription> menus;  // the menu bar from left to right
};

[[nodiscard]] const WindowDescription& Form1Description();
[[nodiscard]] const ControlDescription& DescriptionOf(Control control);
[[nodiscard]] const MenuItemDescription& DescriptionOf(MenuItem item);

// Only for the Verdana fonts.
[[nodiscard]] VerdanaSize VerdanaSizeOf(ControlFont font);
[[nodiscard]] bool TakesFocus(ControlKind kind);
// The controls that take the focus, in the order Tab moves through them.
[[nodiscard]] std::vector<Control> TabOrder();
// Twips as whole pixels at a resolution in dots per inch, rounded to the nearest.
[[nodiscard]] int TwipsToPixels(int twips, double dotsPerInch);

}  // namespace vellamark
