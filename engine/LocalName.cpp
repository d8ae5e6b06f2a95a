#include "LocalName.h"

namespace LocalName {

namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

QString refused(QStringView name, const char* reason) {
    return QStringLiteral("\"%1\" is not a safe local file name (%2)")
        .arg(name.toString(), QLatin1StringView(reason));
}

} // namespace

std::optional<QString> fromRemote(QStringView name, QString* why) {
    const char* reason = nullptr;
    if (name.isEmpty())
        reason = "empty";
    else if (name == u"." || name == u"..")
        reason = "a folder reference";
    else if (name.contains(u'/') || name.contains(u'\\'))
        reason = "holds a path separator";
    else if (name.size() >= 2 && name[1] == u':' && name[0].isLetter())
        reason = "a drive prefix";
    else {
        for (const QChar c : name) {
            if (isControl(c.unicode())) {
                reason = "holds a control character";
                break;
            }
        }
    }
    if (!reason)
        return name.toString();
    if (why) {
        // The name is shown to the user; its control characters are not.
        QString shown;
        shown.reserve(name.size());
        for (const QChar c : name)
            shown += isControl(c.unicode()) ? QChar(u'?') : c;
        *why = refused(shown, reason);
    }
    return std::nullopt;
}

std::optional<QString> fromRemotePath(QStringView path, QString* why) {
    return fromRemote(path.sliced(path.lastIndexOf(u'/') + 1), why);
}

} // namespace LocalName
