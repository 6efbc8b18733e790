// Jet's mark of a database in use, taken by a writer so that no one else
// has the file open while it changes.
//
// Jet 3 opens a database shared by opening (or making) the lock file beside
// it, same name with the extension .ldb, and locking one byte of it past
// its end, 0x10000000 + n for the first free user slot n of 1..255; it
// removes the .ldb when its last user closes. The locks, not the file or
// the names in it, tell who is in: a crashed Jet leaves a stale .ldb with
// nothing locked. A writer here locks every user byte, 0x10000001 to
// 0x100000FF, at once: while some Jet (or another writer) holds one, it
// cannot, and while it holds them, no Jet finds a free slot to open the
// database, and a second writer is refused. Readers take no mark, so that
// SELECT and the listings work beside the running product.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace act::db::jet {

// The lock file of `database`: "c:\zentaroDeck\datos.mdb" gives
// "c:\zentaroDeck\datos.ldb".
std::string LockFileOf(const std::string& database);

// Takes the mark for `database`, or fails with 3045 when another program
// has the database open. The .ldb goes with the mark, a stale one too.
std::unique_ptr<FileLock> MarkInUse(FileSystem& fs, const std::string& database);

}  // namespace act::db::jet
