// ShaderParameter on effects made from text: what each set caches, what the
// effect holds afterwards and when a set is refused.
#include "ParameterEffectTest.h"

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

using T = ShaderParameterType;
using V2 = D3DXVECTOR2;
using V3 = D3DXVECTOR3;
using V4 = D3DXVECTOR4;

// A parameter of every kind ShaderParameter writes; the arrays have three elements.
const char* const s_Parameters = R"(
float f; float2 f2; float3 f3; float4 f4; float4x4 m; int i; bool b; string s;
float4 f4a[3]; float3 f3a[3]; float2 f2a[3]; float fa[3]; int ia[3];
texture1D t1; texture2D t2; texture3D t3; textureCUBE tc;
)";

// A set of one type with a value no default has, and the parameter of
// s_Parameters declared for that type.
struct Setter {
    T Type;
    const char* Name;
    unsigned Elements;
    std::function<void(IShaderParameter&)> Set;
};

class ShaderParameterTest : public ParameterEffectTest {
protected:
    void SetUp() override {
        ParameterEffectTest::SetUp();
        mr_Effect_ = NewEffect(s_Parameters);
        ASSERT_NE(mr_Effect_, nullptr);
    }

    std::unique_ptr<ShaderParameter> Make(T type, const char* name, unsigned elements = 0) {
        return std::make_unique<ShaderParameter>(name, mr_Effect_, mr_Effect_->GetParameterByName(nullptr, name), type,
                                                 elements);
    }
    using ParameterEffectTest::Held;
    std::string Held(const char* name) { return Held(mr_Effect_, name); }

    std::vector<Setter> Setters() const {
        IDirect3DBaseTexture9* lr_Texture_ = mr_Textures[0];
        using P = IShaderParameter;
        return {
            {T::Float, "f", 0, [](P& p) { p.SetFloat(1.5f); }},
            {T::Float2, "f2", 0, [](P& p) { p.SetFloat2(V2(1, 2)); }},
            {T::Float3, "f3", 0, [](P& p) { p.SetFloat3(V3(1, 2, 3)); }},
            {T::Float4, "f4", 0, [](P& p) { p.SetFloat4(V4(1, 2, 3, 4)); }},
            {T::Float4Array, "f4a", 3, [](P& p) { p.SetFloat4Array(std::vector<V4>(3, V4(1, 2, 3, 4))); }},
            {T::Float3Array, "f3a", 3, [](P& p) { p.SetFloat3Array(std::vector<V3>(3, V3(1, 2, 3))); }},
            {T::Float2Array, "f2a", 3, [](P& p) { p.SetFloat2Array(std::vector<V2>(3, V2(1, 2))); }},
            {T::FloatArray, "fa", 3, [](P& p) { p.SetFloatArray(std::vector<float>(3, 2.0f)); }},
            {T::IntArray, "ia", 3, [](P& p) { p.SetIntArray(std::vector<int>(3, 2)); }},
            {T::Texture1D, "t1", 0, [lr_Texture_](P& p) { p.SetTexture1D(lr_Texture_); }},
            {T::Texture2D, "t2", 0, [lr_Texture_](P& p) { p.SetTexture2D(lr_Texture_); }},
            {T::Texture3D, "t3", 0, [lr_Texture_](P& p) { p.SetTexture3D(lr_Texture_); }},
            {T::TextureCube, "tc", 0, [lr_Texture_](P& p) { p.SetTextureCube(lr_Texture_); }},
            {T::Matrix, "m", 0, [](P& p) { p.SetMatrix(D3DXMATRIX(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1)); }},
            {T::Int, "i", 0, [](P& p) { p.SetInt(7); }},
            {T::Bool, "b", 0, [](P& p) { p.SetBool(true); }},
            {T::String, "s", 0, [](P& p) { p.SetString("text"); }},
        };
    }

    ID3DXEffect* mr_Effect_ = nullptr;
};

}  // namespace

TEST_F(ShaderParameterTest, ConstructionResetsTheEffectToTheTypesDefault) {
    ID3DXEffect* lr_Untouched_ = NewEffect(s_Parameters);
    for (const Setter& lr_Setter : Setters()) {
        lr_Setter.Set(*Make(lr_Setter.Type, lr_Setter.Name, lr_Setter.Elements));
        const std::string ls_Set = Held(lr_Setter.Name);
        auto lr_Parameter = Make(lr_Setter.Type, lr_Setter.Name, lr_Setter.Elements);
        // Zeros, nulls and empty text, as an effect declares them; matrices are the identity.
        const std::string ls_Default =
            lr_Setter.Type == T::Matrix ? "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1" : Held(lr_Untouched_, lr_Setter.Name);
        EXPECT_NE(ls_Set, ls_Default) << lr_Setter.Name;
        EXPECT_EQ(Held(lr_Setter.Name), ls_Default) << lr_Setter.Name;
        EXPECT_TRUE(lr_Parameter->IsValid()) << lr_Setter.Name;
        EXPECT_EQ(lr_Parameter->GetElementCount(), lr_Setter.Elements) << lr_Setter.Name;
    }
}

// Each set is tried on the effect parameter that would take it, so a set
// the parameter wrongly let through would show in the effect.
TEST_F(ShaderParameterTest, EachSetterAcceptsExactlyItsOwnType) {
    std::vector<T> lr_Owners{static_cast<T>(17)};  // an unassigned code refuses every set
    for (const Setter& lr_Setter : Setters()) lr_Owners.push_back(lr_Setter.Type);
    for (T lr_Owner : lr_Owners) {
        ID3DXEffect* lr_Effect_ = NewEffect(s_Parameters);
        for (const Setter& lr_Setter : Setters()) {
            ShaderParameter lr_Parameter(lr_Setter.Name, lr_Effect_,
                                         lr_Effect_->GetParameterByName(nullptr, lr_Setter.Name), lr_Owner, 0);
            const std::string ls_Before = Held(lr_Effect_, lr_Setter.Name);
            lr_Setter.Set(lr_Parameter);
            const bool lr_Accepted = lr_Owner == lr_Setter.Type;
            const int lr_Owned = static_cast<int>(lr_Owner);
            EXPECT_EQ(lr_Parameter.IsValid(), lr_Accepted) << lr_Owned << " set as " << lr_Setter.Name;
            EXPECT_EQ(lr_Parameter.GetType(), lr_Owner);
            EXPECT_EQ(Held(lr_Effect_, lr_Setter.Name) != ls_Before, lr_Accepted)
                << lr_Owned << " set as " << lr_Setter.Name;
        }
    }
}

TEST_F(ShaderParameterTest, AnyAndUnassignedCodesWriteNothingAndAnyTakesTheTypeOfItsFirstSet) {
    const V4 lr_Nines(9, 9, 9, 9);
    mr_Effect_->SetVector("f4", &lr_Nines);
    auto lr_Unassigned = Make(static_cast<T>(17), "f4", 5);
    EXPECT_FALSE(lr_Unassigned->IsValid());
    EXPECT_EQ(lr_Unassigned->GetElementCount(), 5u);
    auto lr_Parameter = Make(T::Any, "f4");
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetType(), T::Any);
    EXPECT_EQ(Held("f4"), "9,9,9,9");

    lr_Parameter->SetFloat2(V2(1, 2));
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetType(), T::Float2);
    EXPECT_EQ(Held("f4"), "1,2,0,0");

    lr_Parameter->SetFloat(3.0f);
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetType(), T::Float2);
    EXPECT_EQ(lr_Parameter->GetFloat2(), V2(1, 2));
    EXPECT_EQ(Held("f4"), "1,2,0,0");
}

TEST_F(ShaderParameterTest, RefusedSetKeepsTheValueAndTheNextSetWritesEvenAnUnchangedOne) {
    auto lr_Parameter = Make(T::Float4, "f4");
    lr_Parameter->SetFloat4(V4(1, 2, 3, 4));
    lr_Parameter->SetFloat3(V3(9, 9, 9));
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetFloat4(), V4(1, 2, 3, 4));
    EXPECT_EQ(Held("f4"), "1,2,3,4");

    // The cached value is no proof of what the effect holds: it is written again.
    const V4 lr_Elsewhere(5, 6, 7, 8);
    mr_Effect_->SetVector("f4", &lr_Elsewhere);
    lr_Parameter->SetFloat4(V4(1, 2, 3, 4));
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(Held("f4"), "1,2,3,4");
}

TEST_F(ShaderParameterTest, NarrowVectorsAndTheirArraysAreWrittenWidenedWithZeros) {
    const V4 lr_Nines(9, 9, 9, 9);
    const std::vector<V4> lr_NineArray(3, lr_Nines);
    auto lr_Float2 = Make(T::Float2, "f4");
    mr_Effect_->SetVector("f4", &lr_Nines);
    lr_Float2->SetFloat2(V2(1, 2));
    EXPECT_EQ(Held("f4"), "1,2,0,0");
    auto lr_Float3 = Make(T::Float3, "f4");
    mr_Effect_->SetVector("f4", &lr_Nines);
    lr_Float3->SetFloat3(V3(3, 4, 5));
    EXPECT_EQ(Held("f4"), "3,4,5,0");
    EXPECT_EQ(lr_Float3->GetFloat3(), V3(3, 4, 5));

    // Element by element, only the elements given.
    auto lr_Float3s = Make(T::Float3Array, "f4a", 3);
    mr_Effect_->SetVectorArray("f4a", lr_NineArray.data(), 3);
    lr_Float3s->SetFloat3Array({V3(1, 2, 3), V3(4, 5, 6)});
    EXPECT_EQ(Held("f4a"), "1,2,3,0,4,5,6,0,9,9,9,9");
    EXPECT_EQ(lr_Float3s->GetFloat3Array()[1], V3(4, 5, 6));
    auto lr_Float2s = Make(T::Float2Array, "f4a", 3);
    mr_Effect_->SetVectorArray("f4a", lr_NineArray.data(), 3);
    lr_Float2s->SetFloat2Array({V2(7, 8)});
    EXPECT_EQ(Held("f4a"), "7,8,0,0,9,9,9,9,9,9,9,9");
}

TEST_F(ShaderParameterTest, ScalarsMatricesAndTextReachTheEffectUnchanged) {
    auto lr_Int = Make(T::Int, "i");
    auto lr_Bool = Make(T::Bool, "b");
    auto lr_Float = Make(T::Float, "f");
    auto lr_Matrix = Make(T::Matrix, "m");
    auto lr_String = Make(T::String, "s");
    lr_Int->SetInt(-42);
    lr_Bool->SetBool(true);
    lr_Float->SetFloat(0.25f);
    lr_Matrix->SetMatrix(D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16));
    // The effect takes text up to its first NUL, and so does the cache.
    lr_String->SetString(std::string("ab\0cd", 5));
    EXPECT_EQ(Held("i"), "-42");
    EXPECT_EQ(Held("b"), "1");
    EXPECT_EQ(Held("f"), "0.25");
    EXPECT_EQ(Held("m"), "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
    EXPECT_EQ(Held("s"), "\"ab\"");
    EXPECT_EQ(lr_Int->GetInt(), -42);
    EXPECT_TRUE(lr_Bool->GetBool());
    EXPECT_EQ(lr_Float->GetFloat(), 0.25f);
    EXPECT_EQ(lr_Matrix->GetMatrix()._21, 5.0f);
    EXPECT_EQ(lr_String->GetString(), "ab");
}

TEST_F(ShaderParameterTest, TextureIsBorrowedTheEffectReferencesItAndNullUnbinds) {
    auto lr_Parameter = Make(T::Texture2D, "t2");
    const ULONG lr_Before = RefCount(mr_Textures[0]);
    lr_Parameter->SetTexture2D(mr_Textures[0]);
    EXPECT_EQ(Bound(mr_Effect_, "t2"), mr_Textures[0]);
    EXPECT_EQ(lr_Parameter->GetTexture2D(), mr_Textures[0]);
    EXPECT_EQ(RefCount(mr_Textures[0]), lr_Before + 1);

    lr_Parameter->SetTexture2D(nullptr);
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetTexture2D(), nullptr);
    EXPECT_EQ(Bound(mr_Effect_, "t2"), nullptr);
    EXPECT_EQ(RefCount(mr_Textures[0]), lr_Before);
}

TEST_F(ShaderParameterTest, LongerArraysAreCachedWholeShorterAndEmptyOnesLeaveTheRestAlone) {
    auto lr_Floats = Make(T::FloatArray, "fa", 3);
    lr_Floats->SetFloatArray({1, 2, 3, 4, 5});
    EXPECT_TRUE(lr_Floats->IsValid());
    EXPECT_EQ(lr_Floats->GetElementCount(), 5u);
    EXPECT_EQ(lr_Floats->GetFloatArray(), std::vector<float>({1, 2, 3, 4, 5}));
    EXPECT_EQ(Held("fa"), "1,2,3");

    auto lr_Ints = Make(T::IntArray, "ia", 3);
    lr_Ints->SetIntArray({4, 5, 6});
    lr_Ints->SetIntArray({7});
    EXPECT_EQ(lr_Ints->GetElementCount(), 1u);
    EXPECT_EQ(lr_Ints->GetIntArray(), std::vector<int>({7}));
    EXPECT_EQ(Held("ia"), "7,5,6");

    auto lr_Vectors = Make(T::Float4Array, "f4a", 3);
    lr_Vectors->SetFloat4Array({V4(1, 2, 3, 4), V4(5, 6, 7, 8), V4(9, 10, 11, 12)});
    EXPECT_EQ(Held("f4a"), "1,2,3,4,5,6,7,8,9,10,11,12");
    lr_Vectors->SetFloat4Array({});
    EXPECT_TRUE(lr_Vectors->IsValid());
    EXPECT_EQ(lr_Vectors->GetElementCount(), 0u);
    EXPECT_TRUE(lr_Vectors->GetFloat4Array().empty());
    EXPECT_EQ(Held("f4a"), "1,2,3,4,5,6,7,8,9,10,11,12");
}

TEST_F(ShaderParameterTest, GetOfAnotherTypeReturnsADefault) {
    auto lr_Float4 = Make(T::Float4, "f4");
    lr_Float4->SetFloat4(V4(1, 2, 3, 4));
    EXPECT_TRUE(lr_Float4->GetFloat4Array().empty());
    EXPECT_EQ(lr_Float4->GetString(), "");
    EXPECT_EQ(lr_Float4->GetTexture2D(), nullptr);
    EXPECT_EQ(lr_Float4->GetMatrix()._11, 0.0f);
    EXPECT_EQ(lr_Float4->GetFloat(), 0.0f);

    auto lr_Any = Make(T::Any, "f4");
    EXPECT_EQ(lr_Any->GetFloat4(), V4(0, 0, 0, 0));
    EXPECT_TRUE(lr_Any->GetIntArray().empty());
}

TEST_F(ShaderParameterTest, SetEffectWritesTheNamedParameterOfTheNewEffectOnly) {
    auto lr_Parameter = Make(T::Float4, "f4");
    lr_Parameter->SetFloat4(V4(1, 2, 3, 4));
    ID3DXEffect* lr_Other_ = NewEffect(s_Parameters);
    lr_Parameter->SetEffect(lr_Other_);
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetHandle(), lr_Other_->GetParameterByName(nullptr, "f4"));
    // The cached value waits for the next set.
    EXPECT_EQ(Held(lr_Other_, "f4"), "0,0,0,0");
    EXPECT_EQ(lr_Parameter->GetFloat4(), V4(1, 2, 3, 4));
    lr_Parameter->SetFloat4(V4(5, 6, 7, 8));
    EXPECT_EQ(Held(lr_Other_, "f4"), "5,6,7,8");
    EXPECT_EQ(Held("f4"), "1,2,3,4");

    // An effect lacking the name: invalid until the next set, which is cached only.
    ID3DXEffect* lr_Lacking_ = NewEffect("float4 g;");
    lr_Parameter->SetEffect(lr_Lacking_);
    EXPECT_EQ(lr_Parameter->GetHandle(), nullptr);
    EXPECT_FALSE(lr_Parameter->IsValid());
    lr_Parameter->SetFloat4(V4(1, 1, 1, 1));
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(Held(lr_Lacking_, "g"), "0,0,0,0");

    // No effect at all (its re-creation failed): the same.
    lr_Parameter->SetEffect(nullptr);
    EXPECT_FALSE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetHandle(), nullptr);
    lr_Parameter->SetFloat4(V4(2, 2, 2, 2));
    EXPECT_TRUE(lr_Parameter->IsValid());
    EXPECT_EQ(lr_Parameter->GetFloat4(), V4(2, 2, 2, 2));
    EXPECT_EQ(Held(lr_Other_, "f4"), "5,6,7,8");
}
