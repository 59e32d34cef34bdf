#include "fuzzentries.h"
#include "support/corpusreplay.h"

TEST(FuzzCorpus, ParseImage) { ReplayCorpus("parse_image", FuzzParseImage); }
TEST(FuzzCorpus, ReplyChecks) { ReplayCorpus("reply_checks", FuzzReplyChecks); }
TEST(FuzzCorpus, VersionParse) { ReplayCorpus("version_parse", FuzzVersionParse); }
