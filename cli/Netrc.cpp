#include "Netrc.h"

#include <QDir>
#include <QStringList>

namespace {

// The file's words in order; a quoted word keeps its blanks.
QStringList words(const QString& text) {
    QStringList result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('#')) {
            while (i < n && text[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('"')) {
            QString word;
            for (++i; i < n && text[i] != QLatin1Char('"'); ++i) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                word.append(text[i]);
            }
            ++i; // the closing quote, or past the end
            result.append(word);
        } else {
            const qsizetype start = i;
            while (i < n && !text[i].isSpace())
                ++i;
            result.append(text.mid(start, i - start));
        }
    }
    return result;
}

} // namespace

namespace Netrc {

std::optional<Entry> find(const QString& text, const QString& host, const QString& login) {
    // A macro definition runs to the next empty line and is no part of the
    // words: drop it before splitting.
    QString plain;
    bool inMacro = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (inMacro) {
            inMacro = !line.trimmed().isEmpty();
            continue;
        }
        plain += line + QLatin1Char('\n');
        const QStringList lineWords = words(line);
        const qsizetype macdef = lineWords.indexOf(QStringLiteral("macdef"));
        if (macdef >= 0 && macdef + 1 < lineWords.size())
            inMacro = true;
    }

    const QStringList w = words(plain);
    std::optional<Entry> fallback;
    std::optional<Entry> current;
    bool currentMatches = false;
    bool currentIsDefault = false;
    auto close = [&]() -> std::optional<Entry> {
        if (!current)
            return std::nullopt;
        const bool loginFits =
            login.isEmpty() || current->login.isEmpty() || current->login == login;
        if (currentMatches && loginFits)
            return current;
        if (currentIsDefault && loginFits && !fallback)
            fallback = current;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < w.size(); ++i) {
        const QString& word = w[i];
        const bool hasValue = i + 1 < w.size();
        if (word == u"machine" || word == u"default") {
            if (auto found = close())
                return found;
            current = Entry{};
            currentIsDefault = word == u"default";
            currentMatches =
                !currentIsDefault && hasValue && w[i + 1].compare(host, Qt::CaseInsensitive) == 0;
            if (!currentIsDefault)
                ++i;
        } else if (word == u"login" && hasValue) {
            if (current)
                current->login = w[i + 1];
            ++i;
        } else if (word == u"password" && hasValue) {
            if (current)
                current->password = w[i + 1];
            ++i;
        } else if ((word == u"account" || word == u"macdef") && hasValue) {
            ++i;
        }
    }
    if (auto found = close())
        return found;
    return fallback;
}

QString defaultPath() {
    return QDir::homePath() + QStringLiteral("/.netrc");
}

} // namespace Netrc
