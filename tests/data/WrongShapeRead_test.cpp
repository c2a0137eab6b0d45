// A number whose descriptor names an item of another shape (a vector element of a map, a
// slip in a hand-edited form file) gets more values from the library than it asked for.
// It must keep the first one and nothing of the number around its raw value may change.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "link/QorConnection.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qor::test {
namespace {

constexpr int IgnitionMap = 0x03; // map s8 16 x 16

TEST(WrongShapeRead, NumberOfAMapRowReadsOneValueAndKeepsItsSettings) {
    RegisterDataClasses();
    TSimLibrary sim(QOR_ECUSIM_FILE);
    sim.ResetDefault();
    // The form's number reads row 2 of the map while the form loads (its partial mask makes
    // Loaded merge its default into the ECU's bits); the library answers with the whole row.
    std::unique_ptr<TComponent> form =
        LoadComponentFromFile(std::string(QOR_TEST_DATA_DIR) + "/number-of-a-map.qfm");
    auto* cell = dynamic_cast<TQorNumber*>(form->FindComponent("Cell"));
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->ByAddress());
    EXPECT_EQ(cell->Address(), 1234);
    EXPECT_EQ(cell->DefaultValue(), 5.0);
    EXPECT_EQ(cell->RowIndex(), 2);

    std::int32_t row2col0 = 0;
    ASSERT_TRUE(sim.GetValue(IgnitionMap, 2 * 16, &row2col0));
    cell->ReloadFromEcu();
    EXPECT_EQ(cell->RawValue(), row2col0);

    // The next write goes where the number points, not to an address the read left behind
    // (the simulator refuses an element write into a 16 x 16 map).
    sim.ClearLog();
    EXPECT_FALSE(cell->SetEcuValue(7));
    const auto log = sim.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "WriteIndexed(0x3, 2, " + std::to_string((row2col0 & ~15) | 7) + ")=0");
}

} // namespace
} // namespace qor::test
