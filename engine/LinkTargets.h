#pragma once

#include "CFtpFiles.h"

#include <QString>
#include <QStringView>
#include <vector>

// Symbolic links of a listing. MLSD on proftpd and pure-ftpd says an entry
// is a link ("type=OS.unix=symlink", "type=OS.unix=slink:") without naming
// its target; the same folder's LIST does ("docs -> ../doc"). These fill the
// one from the other, so a link looks the same whichever listing was used.
// Pure: records in, records out.
namespace LinkTargets {

// A link whose target is not known (its mode says link, no target given).
bool lacksTarget(const CFtpFile& file);

// Gives each link the target and kind (folder or not) that the LIST entry of
// the same name shows. A link LIST does not show as a link keeps what it had.
void complete(const std::vector<CFtpFile*>& links, const CFtpFiles& listing);

// The absolute path a link's target names, seen from the folder the link is
// in: "../doc" in "/pub/sub" is "/pub/doc". An absolute target stands as it
// is, made tidy; ".." never climbs above "/".
QString resolve(QStringView folder, QStringView target);

} // namespace LinkTargets
