#pragma once
#include <QString>

// A reference to an existing file-system object, made from a path.
struct FSRef
{
    QString path;  // empty: no such object
};

// The reference of a path; an empty reference when nothing is there.
FSRef fsref(const QString& path);
