#include "fuzzentries.h"
#include "shellentries.h"
#include "support/corpusreplay.h"

TEST(FuzzCorpus, IdentityQuery) { ReplayCorpus("identity_query", FuzzIdentityQuery); }
TEST(FuzzCorpus, SettingsFile) { ReplayCorpus("settings_file", FuzzSettingsFile); }
TEST(FuzzCorpus, CommandLine) { ReplayCorpus("command_line", FuzzCommandLine); }
