#include "formats/image_types.h"

#include <gtest/gtest.h>

#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/imd.h"
#include "formats/td0.h"
#include "test_util.h"

namespace sv {
namespace {

TEST(ImageTypes, ReadersAndWritersByTheLastThreeCharactersInAnyCase) {
    EXPECT_EQ(findImageLoader("a.Dmk"), &loadDmkImage);
    EXPECT_EQ(findImageLoader("/x/disk.imd"), &loadImdImage);
    EXPECT_EQ(findImageLoader("DISK.TD0"), &loadTd0Image);
    EXPECT_EQ(findImageLoader("dsk"), &loadDskImage);  // no dot needed
    EXPECT_EQ(findImageLoader("x.dmk2"), nullptr);     // MK2
    EXPECT_EQ(findImageLoader("x.td"), nullptr);
    EXPECT_EQ(findImageLoader(""), nullptr);
    EXPECT_EQ(findImageSaver("out.dsk"), &saveDskImage);
    EXPECT_EQ(findImageSaver("out.DMK"), &saveDmkImage);
    EXPECT_EQ(findImageSaver("out.imd"), nullptr);
    EXPECT_EQ(loadableTypes(), "TD0, IMD, DSK, DMK, HFE, SCP");
    EXPECT_EQ(savableTypes(), "DSK, DMK, HFE");
}

}  // namespace
}  // namespace sv
