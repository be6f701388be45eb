#pragma once

#include <QString>
#include <QStringList>
#include <initializer_list>

// An ordered list of folder paths, each ending in the separator, as the folder scan fills it.
// Positions are 1-based. Duplicates are kept.
class FolderList {
public:
    FolderList() = default;
    FolderList(std::initializer_list<QString> paths) : paths_(paths) {}

    void append(const QString& path) { paths_.append(path); }
    qsizetype count() const { return paths_.size(); }
    bool isEmpty() const { return paths_.isEmpty(); }
    const QString& item(qsizetype position) const { return paths_.at(position - 1); }
    void remove(qsizetype position) { paths_.removeAt(position - 1); }
    void clear() { paths_.clear(); }

    QStringList::const_iterator begin() const { return paths_.cbegin(); }
    QStringList::const_iterator end() const { return paths_.cend(); }
    const QStringList& paths() const { return paths_; }

private:
    QStringList paths_;
};
