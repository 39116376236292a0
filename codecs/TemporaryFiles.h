#pragma once

#include <QByteArray>
#include <QString>

// The temporaries of saves that have a name are called ".velmora-XXXX.tmp"
// (XXXX: 1 to 13 digits and small letters) and are locked (flock) by the
// process writing them while they live; one that nobody holds is what a killed
// program left.

// A fresh name for a temporary: short, so that a long target name still leaves
// room, and random, so that two saves never take the same.
QByteArray NewTemporaryName();

// Removes from `folder` the temporaries that a killed save left: the files
// named exactly as above that no running save holds. Nothing else is touched.
void RemoveStaleTemporaries(const QString& folder);

// The same before a save: a folder is looked through at most once every two
// seconds, so that a batch's thousands of saves in one folder do not read it
// thousands of times.
void RemoveStaleTemporariesBeforeSave(const QByteArray& folder);
