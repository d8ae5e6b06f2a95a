#include "MLocaleInfo.h"

#include "Desktop.h"

namespace MLocaleInfo {

qint16 CharsetForCodePage(const QString& codePageText) {
    struct Row {
        const char* codePage;
        qint16 charset;
    };
    static const Row table[] = {
        {"932", 128}, {"936", 134},  {"949", 129},  {"950", 136},  {"1250", 238}, {"1251", 204},
        {"1252", 0},  {"1253", 161}, {"1254", 162}, {"1255", 177}, {"1256", 178}, {"1257", 186},
    };
    for (const Row& row : table) {
        if (codePageText == QLatin1String(row.codePage))
            return row.charset;
    }
    return 0;
}

qint16 GetLocaleCharset() {
    const qint32 codePage = platform::Desktop::localeCodePage();
    if (codePage <= 0)
        return 0;
    return CharsetForCodePage(QString::number(codePage));
}

} // namespace MLocaleInfo
