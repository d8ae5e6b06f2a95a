#include "CFtpFiles.h"

#include "Fault.h"

CFtpFiles::Entry CFtpFiles::Add(Entry oFtpFile, const QString& /*vKey*/) {
    m_Items.append(oFtpFile);
    return oFtpFile;
}

CFtpFiles::Entry CFtpFiles::Item(int vntIndexKey) const {
    checkPosition(vntIndexKey);
    return m_Items.at(vntIndexKey - 1);
}

void CFtpFiles::Remove(int vntIndexKey) {
    checkPosition(vntIndexKey);
    m_Items.removeAt(vntIndexKey - 1);
}

void CFtpFiles::checkPosition(int position) const {
    if (position < 1 || position > Count())
        throw platform::Fault(9, QStringLiteral("Subscript out of range"), QStringLiteral("CFtpFiles"));
}
