// regenerate_test.cpp -- the generator, run again, makes exactly the committed data/soundtrack.mp3
#include "mp3_frames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

TEST(Regenerate, MakesTheCommittedMp3ByteForByte)
{
    char dir[] = "/tmp/soundtrackXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string out = std::string(dir) + "/soundtrack.mp3";
    std::string cmd = std::string("'") + MAKE_SOUNDTRACK + "' '" + out + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    std::vector<uint8_t> fresh = Mp3_ReadFile(out);
    std::vector<uint8_t> committed = Mp3_ReadFile(std::string(INTRO_SOURCE_DIR) + "/data/soundtrack.mp3");
    EXPECT_EQ(access((out + ".wav").c_str(), F_OK), -1) << "the intermediate WAV was left behind";
    std::remove(out.c_str());
    std::remove((out + ".wav").c_str());
    rmdir(dir);

    ASSERT_FALSE(committed.empty());
    ASSERT_EQ(fresh.size(), committed.size());
    size_t firstDiff = 0;
    while (firstDiff < fresh.size() && fresh[firstDiff] == committed[firstDiff])
        firstDiff++;
    EXPECT_EQ(firstDiff, fresh.size()) << "first differing byte";
}

TEST(Regenerate, RefusesAMissingOutputName)
{
    std::string cmd = std::string("'") + MAKE_SOUNDTRACK + "' 2>/dev/null";
    int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}
