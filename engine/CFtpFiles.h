#pragma once

#include "CFtpFile.h"

#include <QList>
#include <memory>

// The entries of one listing, in the order they were added, with 1-based
// positions. No keys: the same name or entry may appear any number of times.
class CFtpFiles {
public:
    using Entry = std::shared_ptr<CFtpFile>;

    // vKey is accepted for the callers' sake and not used.
    Entry Add(Entry oFtpFile, const QString& vKey = {});
    // Positions outside 1..Count throw a platform::Fault (9, subscript out of range).
    Entry Item(int vntIndexKey) const;
    int Count() const { return static_cast<int>(m_Items.size()); }
    void Remove(int vntIndexKey);

    // Enumeration in insertion order (the NewEnum of the design).
    QList<Entry>::const_iterator begin() const { return m_Items.cbegin(); }
    QList<Entry>::const_iterator end() const { return m_Items.cend(); }

private:
    void checkPosition(int position) const;
    QList<Entry> m_Items;
};
