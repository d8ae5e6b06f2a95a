#pragma once

#include <optional>

// The pane layout of the main window as a pure computation: window sizes and
// visibility in, positions and sizes in twips out. The window applies the
// result through one twips-to-pixels conversion.
class MainLayout {
public:
    static constexpr int LogHeight = 1375; // the log's height until the user drags it
    static constexpr int MinimumLogHeight = 600;
    static constexpr int MinimumListHeight = 900; // below the title pane
    // The smallest window whose panes all keep a usable size (600 x 420 px).
    static constexpr int MinimumWindowWidth = 9000;
    static constexpr int MinimumWindowHeight = 6300;
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
        int legendHeight = 1095;
        // The list pane's least width, so the title pane's options stay in
        // view; 0: only the layout's own margin.
        int minimumListWidth = 0;
        int logHeight = LogHeight; // as the user left it; the layout keeps it in bounds
        // The transfer queue's pane beside the log, at its right; 0: none.
        int queueWidth = 0;
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
        // The queue pane: the log's top and height, right of the log.
        std::optional<int> queueLeft, queueWidth;
        std::optional<int> legendTop, legendLeft;
        // The legend fits inside the log; when it cannot (no room for a log
        // that tall), it is hidden rather than drawn over the status bar.
        bool legendShown = false;

        bool complete() const { return legendLeft.has_value(); }
    };

    static Result compute(const Input& in);

    // Where the ghost bar goes while the grip is dragged: p = grip left +
    // mouse x in the grip, kept between 500 and W - 500.
    static int ghostLeft(int gripLeft, int mouseX, int windowWidth);

    // The log's height for a wanted one: at least MinimumLogHeight and the
    // legend's height, and at most what leaves the list MinimumListHeight
    // below the title pane.
    static int logHeight(const Input& in);

    // Where the splitter starts in a window of that width: a quarter of it,
    // so the tree shows typical folder names, between 1965 and 4500.
    static int initialSplitterLeft(int windowWidth);

    // The window's size with no stored placement: about 70 % of the screen's
    // free area, at least 900 x 600 px, never more than the area (pixels).
    static void defaultSize(int areaWidth, int areaHeight, int& width, int& height);
};
