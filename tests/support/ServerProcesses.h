#pragma once
// The MariaDB servers running on this machine, found by their command line.
#include <QString>

// How many live server processes (not zombies) serve the data folder.
int serversOn(const QString &dataDir);
