#pragma once

#include "QueueItem.h"

#include <QString>
#include <functional>

// What to do when the target of a transfer exists already. Pure decisions;
// the question itself goes to whoever drives the queue (the window's
// dialog, krellin-cli's options or its terminal) through ConflictResolver.
namespace Conflict {

enum class Policy {
    Ask = 0,
    Overwrite = 1,
    Resume = 2,
    Skip = 3,
    Rename = 4,
    OverwriteIfNewer = 5,
    OverwriteIfSizeDiffers = 6,
};

// The target as it stands: its size and time (day count, 0 when unknown).
struct Target {
    qint64 size = -1;
    double time = 0;
};

enum class Action { Transfer, Resume, Skip, Rename };

struct Plan {
    Action action = Action::Transfer;
    qint64 startPoint = 0; // Resume: the target's size
};

// The plan for a source (the item) meeting an existing target under a
// policy other than Ask. Resume on a target as long as the source or
// longer has nothing to add: it skips. A target newer than the source, or
// of the same size, is skipped by the "if" policies.
Plan decide(Policy policy, const QueueItem& item, const Target& target);

// "name (1).ext", "name (2).ext", ... : the first that `taken` refuses not.
QString freeName(const QString& path, const std::function<bool(const QString&)>& taken);

// The option words of krellin-cli and the names of the window's buttons.
QString policyText(Policy policy);

} // namespace Conflict

// Asked once per conflicting item, in the queue's thread; may block (a
// terminal prompt) or run a dialog's loop.
class ConflictResolver {
public:
    struct Answer {
        Conflict::Policy policy = Conflict::Policy::Skip;
        // "Apply to all in this queue": remembered with the queue.
        bool applyToAll = false;
    };
    virtual ~ConflictResolver() = default;
    virtual Answer resolve(const QueueItem& item, const Conflict::Target& target) = 0;
};
