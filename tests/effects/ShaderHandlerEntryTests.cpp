// Adding, replacing, removing and deleting a shader's handler entries, the
// same rules for all three kinds. The shader has no effect here: the entries
// do not need one.
#include "CountingHandlers.h"

#include "Shader.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct SemanticKind {
    using Handler = CountingSemanticHandler;
    static Handler* Make(const std::string& key) { return new Handler(key); }
    static bool Add(IShader& s, Handler* h) { return s.AddSemanticHandler(h); }
    static bool AddSystem(IShader& s, Handler* h) { return s.AddSystemSemanticHandler(h); }
    static bool Remove(IShader& s, Handler* h) { return s.RemoveSemanticHandler(h); }
    static bool RemoveKey(IShader& s, const std::string& k) { return s.RemoveSemanticHandler(k); }
    static void* Get(IShader& s, const std::string& k) { return s.GetSemanticHandler(k); }
};

struct AnnotationKind {
    using Handler = CountingAnnotationHandler;
    static Handler* Make(const std::string& key) { return new Handler("object", key); }
    static bool Add(IShader& s, Handler* h) { return s.AddAnnotationHandler(h); }
    static bool AddSystem(IShader& s, Handler* h) { return s.AddSystemAnnotationHandler(h); }
    static bool Remove(IShader& s, Handler* h) { return s.RemoveAnnotationHandler(h); }
    static bool RemoveKey(IShader& s, const std::string& k) { return s.RemoveAnnotationHandler(k); }
    static void* Get(IShader& s, const std::string& k) { return s.GetAnnotationHandler(k); }
};

struct CallbackKind {
    using Handler = CountingCallbackHandler;
    static Handler* Make(const std::string& key) { return new Handler(key); }
    static bool Add(IShader& s, Handler* h) { return s.AddCallbackHandler(h); }
    static bool AddSystem(IShader& s, Handler* h) { return s.AddSystemCallbackHandler(h); }
    static bool Remove(IShader& s, Handler* h) { return s.RemoveCallbackHandler(h); }
    static bool RemoveKey(IShader& s, const std::string& k) { return s.RemoveCallbackHandler(k); }
    static void* Get(IShader& s, const std::string& k) { return s.GetCallbackHandler(k); }
};

template <typename Kind>
class ShaderHandlerEntryTest : public HandlerCountingTest {
protected:
    void TearDown() override {
        // The shader deletes what it owns before the counts are checked.
        mr_Shader_.reset();
        HandlerCountingTest::TearDown();
    }

    // No source text and no file name: a shader without an effect.
    std::unique_ptr<Shader> mr_Shader_ = std::make_unique<Shader>(nullptr, "entries", "", "");
    Shader& mr_Shader = *mr_Shader_;
};

using Kinds = ::testing::Types<SemanticKind, AnnotationKind, CallbackKind>;
TYPED_TEST_SUITE(ShaderHandlerEntryTest, Kinds);

}  // namespace

TYPED_TEST(ShaderHandlerEntryTest, NullHandlersAreRefused) {
    EXPECT_FALSE(TypeParam::Add(this->mr_Shader, nullptr));
    EXPECT_FALSE(TypeParam::AddSystem(this->mr_Shader, nullptr));
    EXPECT_FALSE(TypeParam::Remove(this->mr_Shader, nullptr));
    EXPECT_FALSE(TypeParam::RemoveKey(this->mr_Shader, "missing"));
}

TYPED_TEST(ShaderHandlerEntryTest, SecondAddOfTheSameHandlerIsRefused) {
    auto* lr_Handler = TypeParam::Make("A");
    EXPECT_TRUE(TypeParam::Add(this->mr_Shader, lr_Handler));
    EXPECT_FALSE(TypeParam::Add(this->mr_Shader, lr_Handler));
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "A"), lr_Handler);
    // Owned by the shader: deleted with it, once (checked at tear-down).
}

TYPED_TEST(ShaderHandlerEntryTest, CallersHandlerForATakenKeyStaysTheCallers) {
    auto* lr_First = TypeParam::Make("A");
    auto* lr_Second = TypeParam::Make("A");
    EXPECT_TRUE(TypeParam::Add(this->mr_Shader, lr_First));
    EXPECT_FALSE(TypeParam::Add(this->mr_Shader, lr_Second));
    EXPECT_FALSE(TypeParam::AddSystem(this->mr_Shader, lr_Second));
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "A"), lr_First);
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_Second));
    delete lr_Second;
}

TYPED_TEST(ShaderHandlerEntryTest, CallersHandlerReplacesAHandedOverOneWithoutDeletingIt) {
    auto* lr_System = TypeParam::Make("A");
    auto* lr_Caller = TypeParam::Make("A");
    EXPECT_TRUE(TypeParam::AddSystem(this->mr_Shader, lr_System));
    EXPECT_FALSE(TypeParam::AddSystem(this->mr_Shader, lr_System));
    EXPECT_TRUE(TypeParam::Add(this->mr_Shader, lr_Caller));
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "A"), lr_Caller);
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_System));
    delete lr_System;
}

TYPED_TEST(ShaderHandlerEntryTest, HandedOverHandlerCannotBeTakenOverByTheCaller) {
    // Taking it over would make the shader delete what the system deletes too.
    auto* lr_Shader = new Shader(nullptr, "other", "", "");
    auto* lr_System = TypeParam::Make("A");
    EXPECT_TRUE(TypeParam::AddSystem(*lr_Shader, lr_System));
    EXPECT_FALSE(TypeParam::Add(*lr_Shader, lr_System));
    EXPECT_EQ(TypeParam::Get(*lr_Shader, "A"), lr_System);
    delete lr_Shader;
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_System));
    delete lr_System;
}

TYPED_TEST(ShaderHandlerEntryTest, RemoveByAnotherObjectWithTheSameKeyDeletesTheStoredOne) {
    auto* lr_Stored = TypeParam::Make("A");
    auto* lr_Other = TypeParam::Make("A");
    ASSERT_TRUE(TypeParam::Add(this->mr_Shader, lr_Stored));
    EXPECT_TRUE(TypeParam::Remove(this->mr_Shader, lr_Other));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Stored));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_Other));
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "A"), nullptr);
    EXPECT_FALSE(TypeParam::Remove(this->mr_Shader, lr_Other));
    delete lr_Other;
}

TYPED_TEST(ShaderHandlerEntryTest, RemoveByKeyDeletesOnlyWhatTheShaderOwns) {
    auto* lr_Owned = TypeParam::Make("A");
    auto* lr_System = TypeParam::Make("B");
    ASSERT_TRUE(TypeParam::Add(this->mr_Shader, lr_Owned));
    ASSERT_TRUE(TypeParam::AddSystem(this->mr_Shader, lr_System));
    EXPECT_FALSE(TypeParam::RemoveKey(this->mr_Shader, "C"));
    EXPECT_FALSE(TypeParam::RemoveKey(this->mr_Shader, "a"));  // keys are case-sensitive
    EXPECT_TRUE(TypeParam::RemoveKey(this->mr_Shader, "A"));
    EXPECT_TRUE(TypeParam::RemoveKey(this->mr_Shader, "B"));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_Owned));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_System));
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "B"), nullptr);
    delete lr_System;
}

TYPED_TEST(ShaderHandlerEntryTest, DestroyingTheShaderDeletesOnlyCallersHandlers) {
    auto* lr_Shader = new Shader(nullptr, "other", "", "");
    auto* lr_OwnedA = TypeParam::Make("A");
    auto* lr_OwnedB = TypeParam::Make("B");
    auto* lr_System = TypeParam::Make("C");
    TypeParam::Add(*lr_Shader, lr_OwnedA);
    TypeParam::Add(*lr_Shader, lr_OwnedB);
    TypeParam::AddSystem(*lr_Shader, lr_System);
    delete lr_Shader;
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_OwnedA));
    EXPECT_FALSE(HandlerRegistry::IsLive(lr_OwnedB));
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_System));
    delete lr_System;
}

TYPED_TEST(ShaderHandlerEntryTest, DropSystemHandlersKeepsCallersEntries) {
    auto* lr_Owned = TypeParam::Make("A");
    auto* lr_System = TypeParam::Make("B");
    TypeParam::Add(this->mr_Shader, lr_Owned);
    TypeParam::AddSystem(this->mr_Shader, lr_System);
    this->mr_Shader.DropSystemHandler(lr_Owned);  // not handed over: stays
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "A"), lr_Owned);
    this->mr_Shader.DropSystemHandlers();
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "A"), lr_Owned);
    EXPECT_EQ(TypeParam::Get(this->mr_Shader, "B"), nullptr);
    EXPECT_TRUE(HandlerRegistry::IsLive(lr_System));
    delete lr_System;
}
