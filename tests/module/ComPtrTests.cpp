#include "ComPtr.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// A COM object that only counts its references.
struct CountedObject {
    ULONG References = 1;
    ULONG AddRef() { return ++References; }
    ULONG Release() { return --References; }
};

TEST(ComPtrTest, HoldsExactlyTheReferencesItIsGiven) {
    CountedObject lr_Object;
    {
        ComPtr<CountedObject> lr_Held(&lr_Object);  // adopts the caller's reference
        EXPECT_EQ(lr_Object.References, 1u);
        {
            ComPtr<CountedObject> lr_Copy = lr_Held;
            EXPECT_EQ(lr_Object.References, 2u);
            ComPtr<CountedObject> lr_Moved = std::move(lr_Copy);
            EXPECT_EQ(lr_Object.References, 2u);
            EXPECT_EQ(lr_Copy.get(), nullptr);
            EXPECT_EQ(lr_Moved->References, 2u);
        }
        EXPECT_EQ(lr_Object.References, 1u);

        // An out parameter: the reference held goes before the call writes.
        CountedObject** lr_Out = &lr_Held;
        EXPECT_EQ(lr_Object.References, 0u);
        EXPECT_EQ(*lr_Out, nullptr);
        *lr_Out = &lr_Object;  // a call handing out a new reference
        ++lr_Object.References;

        CountedObject* lr_Detached = lr_Held.release();
        EXPECT_EQ(lr_Detached, &lr_Object);
        EXPECT_FALSE(lr_Held);
    }
    // Detached: the reference is the caller's, not released with the holder.
    EXPECT_EQ(lr_Object.References, 1u);

    // A failed call may write the pointer without handing out a reference.
    ComPtr<CountedObject> lr_Failed;
    *&lr_Failed = &lr_Object;
    EXPECT_FALSE(Acquired(E_FAIL, lr_Failed));
    EXPECT_EQ(lr_Failed.get(), nullptr);
    EXPECT_EQ(lr_Object.References, 1u);

    ComPtr<CountedObject> lr_Given;
    *&lr_Given = &lr_Object;
    ++lr_Object.References;
    EXPECT_TRUE(Acquired(S_OK, lr_Given));
    lr_Given.reset();
    EXPECT_EQ(lr_Object.References, 1u);
}

}  // namespace
