#include "MainLayout.h"

#include <algorithm>

MainLayout::Result MainLayout::compute(const Input& in) {
    Result r;
    int x = in.splitterLeft;
    if (x < SplitterMargin)
        x = SplitterMargin;
    const int rightMargin = std::max(SplitterMargin, in.minimumListWidth + 140);
    if (x > in.windowWidth - rightMargin)
        x = in.windowWidth - rightMargin;
    r.splitterLeft = x;

    if (x < 0)
        return r;
    r.treeWidth = x;
    r.gripLeft = x;
    r.listLeft = x + 40;
    r.titleLeft = x + 40;

    const int listWidth = in.windowWidth - (x + 140);
    if (listWidth < 0)
        return r;
    r.listWidth = listWidth;

    const int titleWidth = listWidth - 20;
    if (titleWidth < 0)
        return r;
    r.titleWidth = titleWidth;
    r.iconLeft = titleWidth - in.iconWidth - 40;

    const int progressWidth = titleWidth - in.progressLeft - in.iconWidth - 120;
    if (progressWidth < 0)
        return r;
    r.progressWidth = progressWidth;
    r.holderLeft = in.progressLeft + progressWidth - in.holderWidth;

    const int band = in.bandVisible ? in.bandHeight : 0;
    const int status = in.statusVisible ? in.statusHeight : 0;
    const int top = in.bandVisible ? band + 40 : 0;
    r.treeTop = top;
    r.titleTop = top;
    r.listTop = top + in.titleHeight;

    const int log = logHeight(in);
    const int treeHeight = in.clientHeight - band - status - 80 - log;
    if (treeHeight < 0)
        return r;
    r.treeHeight = treeHeight;

    const int listHeight = treeHeight - in.titleHeight;
    if (listHeight < 0)
        return r;
    r.listHeight = listHeight;
    r.gripTop = top;
    r.gripHeight = treeHeight;

    if (in.clientWidth < 0)
        return r;
    r.logTop = top + treeHeight + 40;
    r.logHeight = log;
    // The queue takes its width from the log's right end, leaving the log
    // at least half of the window.
    const int queue = std::clamp(in.queueWidth, 0, in.clientWidth / 2);
    r.logWidth = in.clientWidth - queue;
    r.queueLeft = *r.logWidth + (queue > 0 ? 40 : 0);
    r.queueWidth = std::max(0, queue - 40);
    // A short log moves the legend up to its top edge before it hides it.
    r.legendTop = *r.logTop + std::max(0, std::min(150, log - in.legendHeight));
    r.legendLeft = *r.logWidth - in.legendWidth - 300;
    r.legendShown = in.legendHeight <= log && *r.legendLeft >= 0;
    return r;
}

int MainLayout::ghostLeft(int gripLeft, int mouseX, int windowWidth) {
    const int p = gripLeft + mouseX;
    if (p < GhostMargin)
        return GhostMargin;
    if (p > windowWidth - GhostMargin)
        return windowWidth - GhostMargin;
    return p;
}

int MainLayout::logHeight(const Input& in) {
    const int band = in.bandVisible ? in.bandHeight : 0;
    const int status = in.statusVisible ? in.statusHeight : 0;
    const int room = in.clientHeight - band - status - 80 - in.titleHeight - MinimumListHeight;
    // Never shorter than the legend, where the room allows: it would spill
    // over the status bar or have to hide.
    const int least = std::max(MinimumLogHeight, std::min(in.legendHeight, room));
    return std::max(least, std::min(in.logHeight, room));
}

void MainLayout::defaultSize(int areaWidth, int areaHeight, int& width, int& height) {
    width = std::min(areaWidth, std::max(900, areaWidth * 7 / 10));
    height = std::min(areaHeight, std::max(600, areaHeight * 7 / 10));
}

int MainLayout::initialSplitterLeft(int windowWidth) {
    return std::clamp(windowWidth / 4, DefaultSplitterLeft, 4500);
}
