#pragma once

#include "Site.h"

#include <optional>

// Saved sites in the settings store (INI, organisation and application
// "Krellin", group "Sites"), and the sites file for export and import: JSON,
// never a password in either.
namespace SiteStore {

SiteList load();
void save(const SiteList& list);

// Folder text made canonical: pieces trimmed, empty pieces dropped, "/"
// between them ("  Work//Clients/ " is "Work/Clients").
QString normalFolder(const QString& folder);

// The names the settings and the sites file use for the choices.
QString encryptionName(FtpSecurity::Mode mode);
std::optional<FtpSecurity::Mode> encryptionFromName(const QString& name);
QString logOnName(Site::LogOn logOn);
std::optional<Site::LogOn> logOnFromName(const QString& name);

// Writes the sites (without passwords) to path; false with a sentence for
// the user in error.
bool exportTo(const QString& path, const SiteList& list, QString* error);
// Reads a sites file; every site comes back with a fresh id. Empty, with a
// sentence naming the file and the first fault, when it is not a sound one.
std::optional<SiteList> importFrom(const QString& path, QString* error);

} // namespace SiteStore
