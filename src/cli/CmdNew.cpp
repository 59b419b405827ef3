// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli new FILE
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"
#include "store/DocumentLock.h"

namespace brindle::cli {

namespace {
int RunNew(const Args& args, Io& io) {
    DocumentLock lock;
    if (!LockDocument(lock, args.Positional(0), io.err))
        return kExitFailure;
    CBrindleDoc doc;
    return SaveDocumentAs(doc, args.Positional(0), io.err) ? kExitOk : kExitFailure;
}
} // namespace

Command NewCommand() {
    return {"new",    "write an empty document with the default search and view state",
            "FILE",   "FILE is created or replaced (atomically); no backups are written.",
            {"FILE"}, {},
            RunNew};
}

} // namespace brindle::cli
