#pragma once

#include <optional>

// The pane layout of the main window as a pure computation: window sizes and
// visibility in, positions and sizes in twips out. The window applies the
// result through one twips-to-pixels conversion.
class MainLayout {
public:
    static constexpr int LogHeight = 1375;
    static constexpr int MinimumWindowWidth = 3000;
    static constexpr int SplitterMargin = 1500; // the layout's limits
    static constexpr int GhostMargin = 500;     // the drag's looser limits
    static constexpr int DefaultSplitterLeft = 1965;

    struct Input {
        int splitterLeft = DefaultSplitterLeft; // x
        int windowWidth = 0;                    // W
        int clientWidth = 0;                    // SW
        int clientHeight = 0;                   // SH
        bool bandVisible = true;
        int bandHeight = 0;
        bool statusVisible = true;
        int statusHeight = 0;
        int titleHeight = 0;
        int iconWidth = 480;
        int progressLeft = 120;
        int holderWidth = 0;
        int legendWidth = 1935;
    };

    // A value is missing when the layout stopped before the step that sets
    // it: a width or height that came out negative stops the layout there,
    // and the controls not reached keep their places.
    struct Result {
        int splitterLeft = 0; // x after clamping
        std::optional<int> treeWidth, gripLeft;
        std::optional<int> listLeft, titleLeft;
        std::optional<int> listWidth;
        std::optional<int> titleWidth;
        std::optional<int> iconLeft;
        std::optional<int> progressWidth;
        std::optional<int> holderLeft;
        std::optional<int> treeTop, titleTop, listTop;
        std::optional<int> treeHeight, listHeight;
        std::optional<int> gripTop, gripHeight;
        std::optional<int> logTop, logHeight, logWidth;
        std::optional<int> legendTop, legendLeft;

        bool complete() const { return legendLeft.has_value(); }
    };

    static Result compute(const Input& in);

    // Where the ghost bar goes while the grip is dragged: p = grip left +
    // mouse x in the grip, kept between 500 and W - 500.
    static int ghostLeft(int gripLeft, int mouseX, int windowWidth);
};
