// regenerate_test.cpp -- make-images run afresh gives the committed pictures byte for byte
#include "bmp_read.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

TEST(Regenerate, MakeImagesReproducesTheCommittedFilesExactly)
{
  char folder[] = "/tmp/make-images-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string command = std::string("'") + MAKE_IMAGES + "' '" + folder + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  for (const char* file : { "logo.bmp", "bounce.bmp", "spark.bmp", "font.bmp", "bg.bmp" }) {
    const std::string fresh = std::string(folder) + "/" + file;
    const std::vector<unsigned char> made = readWholeFile(fresh);
    const std::vector<unsigned char> committed = readWholeFile(dataPath(file));
    ASSERT_FALSE(committed.empty()) << file;
    EXPECT_EQ(made.size(), committed.size()) << file;
    size_t firstDifference = 0;
    while (firstDifference < made.size() && firstDifference < committed.size()
           && made[firstDifference] == committed[firstDifference])
      firstDifference++;
    EXPECT_EQ(firstDifference, committed.size()) << file << " differs from byte " << firstDifference
                                                 << "; regenerate with make-images data";
    unlink(fresh.c_str());
  }
  rmdir(folder);
}

TEST(Regenerate, MakeImagesFailsForAFolderThatDoesNotExist)
{
  const std::string command = std::string("'") + MAKE_IMAGES + "' /nonexistent-folder-for-images-test 2>/dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
}
