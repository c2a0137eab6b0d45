#pragma once
// The simulator library opened by the test, its control API and one interface object.

#include "link/SerInterface.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

namespace qor::test {

class SimTest : public ::testing::Test {
protected:
    SimTest() : Sim(QOR_ECUSIM_FILE) {}

    void SetUp() override {
        Sim.ResetDefault();
        Create =
            reinterpret_cast<TCreateClassInstance>(dlsym(Sim.Handle(), CreateClassInstanceName));
        Destroy =
            reinterpret_cast<TDestroyClassInstance>(dlsym(Sim.Handle(), DestroyClassInstanceName));
        Version = reinterpret_cast<TGetDLLVersion>(dlsym(Sim.Handle(), GetDLLVersionName));
        ASSERT_TRUE(Create && Destroy && Version);
        Ser = Create();
        ASSERT_NE(Ser, nullptr);
        Sim.ClearLog();
    }
    void TearDown() override {
        if (Ser)
            Destroy(Ser);
    }

    std::int32_t Value(int Code, int Index) {
        std::int32_t v = 0;
        EXPECT_TRUE(Sim.GetValue(Code, Index, &v));
        return v;
    }

    TSimLibrary Sim;
    TCreateClassInstance Create = nullptr;
    TDestroyClassInstance Destroy = nullptr;
    TGetDLLVersion Version = nullptr;
    TSerInterface* Ser = nullptr;
};

} // namespace qor::test
