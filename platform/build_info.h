// What this executable was built from: the project's version and the source commit.
#pragma once

namespace ruvelo {

const char* buildVersion();  // "1.0.0"
const char* buildCommit();   // abbreviated hash, "+changes" when the tree had uncommitted ones; "unknown"

}  // namespace ruvelo
