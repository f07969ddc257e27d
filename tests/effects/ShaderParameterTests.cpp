// ShaderParameter against a recording effect: what each set caches, what it
// writes and when it is refused.
#include "RecordingEffect.h"

#include "HandlerInterfaces.h"
#include "ShaderParameter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>

// The type codes and pass results are scoped: names as common as these stay
// free for the other libraries of a host (X11 declares None and Bool, its
// toolkits String). Checked by compiling.
using None = int;
using Bool = int;
using String = char*;
using Any = void*;
static_assert(std::is_same<std::underlying_type<ShaderParameterType>::type, int32_t>::value &&
                  std::is_same<std::underlying_type<PassResult>::type, int32_t>::value,
              "the interface tables pass both as 32-bit integers");

namespace {

using Write = RecordingEffect::Write;

class ShaderParameterTest : public ::testing::Test {
protected:
    ShaderParameterTest() {
        mr_Effect.AddParameter("value");
        mr_Effect.AddParameter("list", 3);
    }

    std::unique_ptr<ShaderParameter> Make(ShaderParameterType type, unsigned elements = 0,
                                          const std::string& name = "value") {
        auto lr_Parameter = std::make_unique<ShaderParameter>(
            name, &mr_Effect, mr_Effect.GetParameterByName(nullptr, name.c_str()), type, elements);
        return lr_Parameter;
    }

    std::vector<Write>& Writes() { return mr_Effect.mr_Writes; }

    RecordingEffect mr_Effect;
};

// Every setter with a value that differs from the defaults, by the type it
// belongs to.
const std::vector<std::pair<ShaderParameterType, std::function<void(IShaderParameter&)>>>& AllSetters() {
    static IDirect3DBaseTexture9* const s_Texture = reinterpret_cast<IDirect3DBaseTexture9*>(0x1000);
    static const std::vector<std::pair<ShaderParameterType, std::function<void(IShaderParameter&)>>> s_Setters = {
        {ShaderParameterType::Float, [](IShaderParameter& p) { p.SetFloat(1.5f); }},
        {ShaderParameterType::Float2, [](IShaderParameter& p) { p.SetFloat2(D3DXVECTOR2(1, 2)); }},
        {ShaderParameterType::Float3, [](IShaderParameter& p) { p.SetFloat3(D3DXVECTOR3(1, 2, 3)); }},
        {ShaderParameterType::Float4, [](IShaderParameter& p) { p.SetFloat4(D3DXVECTOR4(1, 2, 3, 4)); }},
        {ShaderParameterType::Float4Array, [](IShaderParameter& p) { p.SetFloat4Array({D3DXVECTOR4(1, 2, 3, 4)}); }},
        {ShaderParameterType::Float3Array, [](IShaderParameter& p) { p.SetFloat3Array({D3DXVECTOR3(1, 2, 3)}); }},
        {ShaderParameterType::Float2Array, [](IShaderParameter& p) { p.SetFloat2Array({D3DXVECTOR2(1, 2)}); }},
        {ShaderParameterType::FloatArray, [](IShaderParameter& p) { p.SetFloatArray({1.0f}); }},
        {ShaderParameterType::IntArray, [](IShaderParameter& p) { p.SetIntArray({1}); }},
        {ShaderParameterType::Texture1D, [](IShaderParameter& p) { p.SetTexture1D(s_Texture); }},
        {ShaderParameterType::Texture2D, [](IShaderParameter& p) { p.SetTexture2D(s_Texture); }},
        {ShaderParameterType::Texture3D, [](IShaderParameter& p) { p.SetTexture3D(s_Texture); }},
        {ShaderParameterType::TextureCube, [](IShaderParameter& p) { p.SetTextureCube(s_Texture); }},
        {ShaderParameterType::Matrix,
         [](IShaderParameter& p) { p.SetMatrix(D3DXMATRIX(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1)); }},
        {ShaderParameterType::Int, [](IShaderParameter& p) { p.SetInt(7); }},
        {ShaderParameterType::Bool, [](IShaderParameter& p) { p.SetBool(true); }},
        {ShaderParameterType::String, [](IShaderParameter& p) { p.SetString("text"); }},
    };
    return s_Setters;
}

}  // namespace

TEST_F(ShaderParameterTest, ConstructionWritesTheTypesDefaultValue) {
    auto lr_Float4 = Make(ShaderParameterType::Float4);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Operation, "SetVector");
    EXPECT_EQ(Writes()[0].Target, "value");
    EXPECT_EQ(Writes()[0].Vector, D3DXVECTOR4(0, 0, 0, 0));
    EXPECT_TRUE(lr_Float4->IsValid());
    EXPECT_EQ(lr_Float4->GetElementCount(), 0u);

    Writes().clear();
    auto lr_Matrix = Make(ShaderParameterType::Matrix);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Operation, "SetMatrix");
    for (int lr_Row = 0; lr_Row < 4; ++lr_Row) {
        for (int lr_Column = 0; lr_Column < 4; ++lr_Column) {
            EXPECT_EQ(Writes()[0].Matrix.m[lr_Row][lr_Column], lr_Row == lr_Column ? 1.0f : 0.0f);
        }
    }

    Writes().clear();
    auto lr_Texture = Make(ShaderParameterType::TextureCube);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Operation, "SetTexture");
    EXPECT_EQ(Writes()[0].Texture, nullptr);

    Writes().clear();
    auto lr_String = Make(ShaderParameterType::String);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Operation, "SetString");
    EXPECT_EQ(Writes()[0].Text, "");

    Writes().clear();
    auto lr_Bool = Make(ShaderParameterType::Bool);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Operation, "SetBool");
    EXPECT_EQ(Writes()[0].Bool, FALSE);
}

TEST_F(ShaderParameterTest, ArrayConstructionZeroesEveryDeclaredElement) {
    auto lr_Array = Make(ShaderParameterType::FloatArray, 3, "list");
    EXPECT_EQ(lr_Array->GetElementCount(), 3u);
    EXPECT_EQ(lr_Array->GetFloatArray(), std::vector<float>({0, 0, 0}));
    ASSERT_EQ(Writes().size(), 3u);
    for (unsigned lr_Index = 0; lr_Index < 3; ++lr_Index) {
        EXPECT_EQ(Writes()[lr_Index].Operation, "SetFloat");
        EXPECT_EQ(Writes()[lr_Index].Target, "list[" + std::to_string(lr_Index) + "]");
        EXPECT_EQ(Writes()[lr_Index].Float, 0.0f);
    }
}

TEST_F(ShaderParameterTest, EachSetterAcceptsExactlyItsOwnType) {
    for (const auto& lr_Owner : AllSetters()) {
        for (const auto& lr_Setter : AllSetters()) {
            bool lr_Array =
                lr_Owner.first >= ShaderParameterType::Float4Array && lr_Owner.first <= ShaderParameterType::IntArray;
            auto lr_Parameter = Make(lr_Owner.first, 0, lr_Array ? "list" : "value");
            Writes().clear();
            lr_Setter.second(*lr_Parameter);
            bool lr_Accepted = lr_Owner.first == lr_Setter.first;
            const int lr_Owned = static_cast<int>(lr_Owner.first);
            const int lr_Set = static_cast<int>(lr_Setter.first);
            EXPECT_EQ(lr_Parameter->IsValid(), lr_Accepted) << lr_Owned << " set as " << lr_Set;
            EXPECT_EQ(lr_Parameter->GetType(), lr_Owner.first);
            EXPECT_EQ(Writes().empty(), !lr_Accepted) << lr_Owned << " set as " << lr_Set;
        }
    }
}

TEST_F(ShaderParameterTest, AnyTakesTheTypeOfItsFirstSet) {
    auto lr_Parameter = Make(ShaderParameterType::Any);
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetType(), ShaderParameterType::Any);
    EXPECT_TRUE(Writes().empty());

    lr_Parameter->SetFloat2(D3DXVECTOR2(1, 2));
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetType(), ShaderParameterType::Float2);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Vector, D3DXVECTOR4(1, 2, 0, 0));

    lr_Parameter->SetFloat(3.0f);
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetType(), ShaderParameterType::Float2);
    EXPECT_EQ(lr_Parameter->GetFloat2(), D3DXVECTOR2(1, 2));
    EXPECT_EQ(Writes().size(), 1u);
}

TEST_F(ShaderParameterTest, UnassignedCodeRefusesEverySet) {
    auto lr_Parameter = Make(static_cast<ShaderParameterType>(17), 5);
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetElementCount(), 5u);
    for (const auto& lr_Setter : AllSetters()) {
        lr_Setter.second(*lr_Parameter);
        EXPECT_FALSE(lr_Parameter->IsValid()) << static_cast<int>(lr_Setter.first);
    }
    EXPECT_EQ(static_cast<int>(lr_Parameter->GetType()), 17);
    EXPECT_TRUE(Writes().empty());
}

TEST_F(ShaderParameterTest, RefusedSetKeepsValueAndEffectUntilTheNextAcceptedSet) {
    auto lr_Parameter = Make(ShaderParameterType::Float4);
    lr_Parameter->SetFloat4(D3DXVECTOR4(1, 2, 3, 4));
    Writes().clear();

    lr_Parameter->SetFloat3(D3DXVECTOR3(9, 9, 9));
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetFloat4(), D3DXVECTOR4(1, 2, 3, 4));
    EXPECT_TRUE(Writes().empty());

    lr_Parameter->SetFloat4(D3DXVECTOR4(5, 6, 7, 8));
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetFloat4(), D3DXVECTOR4(5, 6, 7, 8));
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Vector, D3DXVECTOR4(5, 6, 7, 8));
}

TEST_F(ShaderParameterTest, NarrowVectorsAreWrittenWidenedWithZeros) {
    auto lr_Float2 = Make(ShaderParameterType::Float2);
    auto lr_Float3 = Make(ShaderParameterType::Float3);
    Writes().clear();
    lr_Float2->SetFloat2(D3DXVECTOR2(1, 2));
    lr_Float3->SetFloat3(D3DXVECTOR3(3, 4, 5));
    ASSERT_EQ(Writes().size(), 2u);
    EXPECT_EQ(Writes()[0].Vector, D3DXVECTOR4(1, 2, 0, 0));
    EXPECT_EQ(Writes()[1].Vector, D3DXVECTOR4(3, 4, 5, 0));
    EXPECT_EQ(lr_Float3->GetFloat3(), D3DXVECTOR3(3, 4, 5));
}

TEST_F(ShaderParameterTest, ScalarsAndTextTravelUnchanged) {
    auto lr_Int = Make(ShaderParameterType::Int);
    auto lr_Bool = Make(ShaderParameterType::Bool);
    auto lr_Float = Make(ShaderParameterType::Float);
    auto lr_String = Make(ShaderParameterType::String);
    Writes().clear();
    lr_Int->SetInt(-42);
    lr_Bool->SetBool(true);
    lr_Float->SetFloat(0.25f);
    lr_String->SetString("hello");
    ASSERT_EQ(Writes().size(), 4u);
    EXPECT_EQ(Writes()[0].Int, -42);
    EXPECT_EQ(Writes()[1].Bool, TRUE);
    EXPECT_EQ(Writes()[2].Float, 0.25f);
    EXPECT_EQ(Writes()[3].Text, "hello");
    EXPECT_EQ(lr_Int->GetInt(), -42);
    EXPECT_TRUE(lr_Bool->GetBool());
    EXPECT_EQ(lr_Float->GetFloat(), 0.25f);
    EXPECT_EQ(lr_String->GetString(), "hello");
}

TEST_F(ShaderParameterTest, StringIsKeptUpToItsFirstNul) {
    auto lr_String = Make(ShaderParameterType::String);
    Writes().clear();
    lr_String->SetString(std::string("ab\0cd", 5));
    EXPECT_EQ(lr_String->GetString(), "ab");
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Text, "ab");
}

TEST_F(ShaderParameterTest, TextureSetWritesThePointerAndNullIsAccepted) {
    auto lr_Texture = Make(ShaderParameterType::Texture2D);
    IDirect3DBaseTexture9* lr_Fake = reinterpret_cast<IDirect3DBaseTexture9*>(0x2000);
    Writes().clear();
    lr_Texture->SetTexture2D(lr_Fake);
    EXPECT_EQ(lr_Texture->GetTexture2D(), lr_Fake);
    lr_Texture->SetTexture2D(nullptr);
    EXPECT_TRUE(lr_Texture->IsValid());
    EXPECT_EQ(lr_Texture->GetTexture2D(), nullptr);
    ASSERT_EQ(Writes().size(), 2u);
    EXPECT_EQ(Writes()[0].Texture, lr_Fake);
    EXPECT_EQ(Writes()[1].Operation, "SetTexture");
    EXPECT_EQ(Writes()[1].Texture, nullptr);
}

TEST_F(ShaderParameterTest, SameValueTwiceIsWrittenTwice) {
    auto lr_Parameter = Make(ShaderParameterType::Float4);
    Writes().clear();
    lr_Parameter->SetFloat4(D3DXVECTOR4(1, 1, 1, 1));
    lr_Parameter->SetFloat4(D3DXVECTOR4(1, 1, 1, 1));
    EXPECT_EQ(Writes().size(), 2u);
}

TEST_F(ShaderParameterTest, ArrayLongerThanTheEffectsIsCachedWholeAndWrittenWhereItFits) {
    auto lr_Array = Make(ShaderParameterType::FloatArray, 3, "list");
    Writes().clear();
    lr_Array->SetFloatArray({1, 2, 3, 4, 5});
    EXPECT_TRUE(lr_Array->IsValid());
    EXPECT_EQ(lr_Array->GetElementCount(), 5u);
    EXPECT_EQ(lr_Array->GetFloatArray(), std::vector<float>({1, 2, 3, 4, 5}));
    ASSERT_EQ(Writes().size(), 3u);
    EXPECT_EQ(Writes()[2].Target, "list[2]");
    EXPECT_EQ(Writes()[2].Float, 3.0f);
    // Every element was looked up, the missing ones too.
    EXPECT_EQ(mr_Effect.mr_ElementLookups, 3 + 5);
}

TEST_F(ShaderParameterTest, ShorterArrayWritesOnlyItsElements) {
    auto lr_Array = Make(ShaderParameterType::IntArray, 3, "list");
    Writes().clear();
    lr_Array->SetIntArray({7});
    EXPECT_EQ(lr_Array->GetElementCount(), 1u);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Operation, "SetInt");
    EXPECT_EQ(Writes()[0].Target, "list[0]");
    EXPECT_EQ(Writes()[0].Int, 7);
}

TEST_F(ShaderParameterTest, EmptyArrayIsAcceptedAndWritesNothing) {
    auto lr_Array = Make(ShaderParameterType::Float4Array, 3, "list");
    Writes().clear();
    lr_Array->SetFloat4Array({});
    EXPECT_TRUE(lr_Array->IsValid());
    EXPECT_EQ(lr_Array->GetElementCount(), 0u);
    EXPECT_TRUE(lr_Array->GetFloat4Array().empty());
    EXPECT_TRUE(Writes().empty());
}

TEST_F(ShaderParameterTest, VectorArraysAreWrittenPerElementWidened) {
    auto lr_Float3s = Make(ShaderParameterType::Float3Array, 3, "list");
    Writes().clear();
    lr_Float3s->SetFloat3Array({D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6)});
    ASSERT_EQ(Writes().size(), 2u);
    EXPECT_EQ(Writes()[0].Operation, "SetVector");
    EXPECT_EQ(Writes()[0].Vector, D3DXVECTOR4(1, 2, 3, 0));
    EXPECT_EQ(Writes()[1].Target, "list[1]");
    EXPECT_EQ(Writes()[1].Vector, D3DXVECTOR4(4, 5, 6, 0));
    EXPECT_EQ(lr_Float3s->GetFloat3Array()[1], D3DXVECTOR3(4, 5, 6));

    auto lr_Float2s = Make(ShaderParameterType::Float2Array, 3, "list");
    Writes().clear();
    lr_Float2s->SetFloat2Array({D3DXVECTOR2(7, 8)});
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].Vector, D3DXVECTOR4(7, 8, 0, 0));

    auto lr_Float4s = Make(ShaderParameterType::Float4Array, 3, "list");
    Writes().clear();
    lr_Float4s->SetFloat4Array({D3DXVECTOR4(1, 2, 3, 4), D3DXVECTOR4(5, 6, 7, 8), D3DXVECTOR4(9, 10, 11, 12)});
    ASSERT_EQ(Writes().size(), 3u);
    EXPECT_EQ(Writes()[2].Vector, D3DXVECTOR4(9, 10, 11, 12));
    EXPECT_EQ(lr_Float4s->GetFloat4Array().size(), 3u);
}

TEST_F(ShaderParameterTest, GetOfAnotherTypeReturnsADefault) {
    auto lr_Float4 = Make(ShaderParameterType::Float4);
    lr_Float4->SetFloat4(D3DXVECTOR4(1, 2, 3, 4));
    EXPECT_TRUE(lr_Float4->GetFloat4Array().empty());
    EXPECT_EQ(lr_Float4->GetString(), "");
    EXPECT_EQ(lr_Float4->GetTexture2D(), nullptr);
    EXPECT_EQ(lr_Float4->GetMatrix()._11, 0.0f);
    EXPECT_EQ(lr_Float4->GetFloat(), 0.0f);

    auto lr_Any = Make(ShaderParameterType::Any);
    EXPECT_EQ(lr_Any->GetFloat4(), D3DXVECTOR4(0, 0, 0, 0));
    EXPECT_TRUE(lr_Any->GetIntArray().empty());
}

TEST_F(ShaderParameterTest, SetEffectResolvesTheNameInTheNewEffect) {
    auto lr_Parameter = Make(ShaderParameterType::Float4);
    lr_Parameter->SetFloat4(D3DXVECTOR4(1, 2, 3, 4));

    RecordingEffect lr_Other;
    lr_Other.AddParameter("value");
    lr_Parameter->SetEffect(&lr_Other);
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetHandle(), lr_Other.GetParameterByName(nullptr, "value"));
    EXPECT_NE(lr_Parameter->GetHandle(), mr_Effect.GetParameterByName(nullptr, "value"));
    // The cached value waits for the next set.
    EXPECT_TRUE(lr_Other.mr_Writes.empty());
    EXPECT_EQ(lr_Parameter->GetFloat4(), D3DXVECTOR4(1, 2, 3, 4));

    lr_Parameter->SetFloat4(D3DXVECTOR4(5, 6, 7, 8));
    ASSERT_EQ(lr_Other.mr_Writes.size(), 1u);
    EXPECT_EQ(lr_Other.mr_Writes[0].Target, "value");
}

TEST_F(ShaderParameterTest, SetEffectLackingTheNameInvalidatesUntilTheNextSet) {
    auto lr_Parameter = Make(ShaderParameterType::Float4);
    RecordingEffect lr_Other;
    lr_Parameter->SetEffect(&lr_Other);
    EXPECT_EQ(lr_Parameter->GetHandle(), nullptr);
    EXPECT_FALSE(lr_Parameter->IsValid());

    lr_Parameter->SetFloat4(D3DXVECTOR4(1, 1, 1, 1));
    EXPECT_TRUE(lr_Parameter->IsValid());
    ASSERT_EQ(lr_Other.mr_Writes.size(), 1u);
    EXPECT_EQ(lr_Other.mr_Writes[0].Target, "<null>");
}

TEST_F(ShaderParameterTest, WithoutAnEffectSetsAreCachedAndNothingIsCalled) {
    auto lr_Parameter = Make(ShaderParameterType::FloatArray, 3, "list");
    lr_Parameter->SetEffect(nullptr);
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetHandle(), nullptr);
    lr_Parameter->SetFloatArray({1, 2});
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetFloatArray(), std::vector<float>({1, 2}));
}
