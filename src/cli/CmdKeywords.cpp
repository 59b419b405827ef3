// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli keywords FILE
#include "cli/CliDocument.h"
#include "cli/Commands.h"

#include "store/BrindleDoc.h"

namespace brindle::cli {

namespace {
int RunKeywords(const Args& args, Io& io) {
    CBrindleDoc doc;
    if (!OpenDocument(doc, args.Positional(0), io.err))
        return kExitFailure;
    const std::string keywords = doc.CollectAllKeywords();
    if (!keywords.empty())
        io.out << keywords << "\n";
    return kExitOk;
}
} // namespace

Command KeywordsCommand() {
    return {"keywords", "print every distinct keyword of the collection",
            "FILE",     "One keyword per line, in order of first appearance (CollectAllKeywords).",
            {"FILE"},   {},
            RunKeywords};
}

} // namespace brindle::cli
