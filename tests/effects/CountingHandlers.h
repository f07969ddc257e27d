// Handlers that count their constructions and destructions and record their
// calls. Every live handler is in a registry: a destruction of a handler not
// in it (a second delete) and a call on one that is gone both fail the test.
#pragma once

#include "HandlerInterfaces.h"
#include "IShader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

class HandlerRegistry {
public:
    static int& Constructed() {
        static int s_Count = 0;
        return s_Count;
    }
    static int& Destroyed() {
        static int s_Count = 0;
        return s_Count;
    }
    static std::set<const void*>& Live() {
        static std::set<const void*> s_Live;
        return s_Live;
    }
    // Calls of all handlers in order, e.g. "semantic:A:apply".
    static std::vector<std::string>& Calls() {
        static std::vector<std::string> s_Calls;
        return s_Calls;
    }
    // Destructions in order, e.g. "semantic:A".
    static std::vector<std::string>& Deaths() {
        static std::vector<std::string> s_Deaths;
        return s_Deaths;
    }
    static void Clear() {
        Constructed() = 0;
        Destroyed() = 0;
        Live().clear();
        Calls().clear();
        Deaths().clear();
    }
    static bool IsLive(const void* handler) { return Live().count(handler) != 0; }

    static void Born(const void* handler) {
        ++Constructed();
        Live().insert(handler);
    }
    static void Died(const void* handler, const std::string& name) {
        ++Destroyed();
        Deaths().push_back(name);
        if (Live().erase(handler) == 0) {
            ADD_FAILURE() << "handler deleted twice";
        }
    }
    static void Called(const void* handler, const std::string& call) {
        if (!IsLive(handler)) {
            ADD_FAILURE() << "call on a deleted handler: " << call;
        }
        Calls().push_back(call);
    }
};

// Checks at the end of each test that every handler made was deleted once.
class HandlerCountingTest : public ::testing::Test {
protected:
    void SetUp() override { HandlerRegistry::Clear(); }
    void TearDown() override {
        EXPECT_EQ(HandlerRegistry::Constructed(), HandlerRegistry::Destroyed()) << "handlers leaked";
        EXPECT_TRUE(HandlerRegistry::Live().empty());
    }
};

class CountingSemanticHandler : public ISemanticHandler {
public:
    explicit CountingSemanticHandler(const std::string& semantic) : mr_Semantic(semantic) {
        HandlerRegistry::Born(this);
    }
    ~CountingSemanticHandler() override { HandlerRegistry::Died(this, "semantic:" + mr_Semantic); }
    void Apply(IShader*, IShaderParameter* parameter) override {
        HandlerRegistry::Called(this, "semantic:" + mr_Semantic + ":apply");
        mr_Parameters.push_back(parameter);
    }
    void Reset(IShader*) override {
        HandlerRegistry::Called(this, "semantic:" + mr_Semantic + ":reset");
        ++mr_Resets;
    }
    const std::string& GetSemantic() override { return mr_Semantic; }

    std::string mr_Semantic;
    std::vector<IShaderParameter*> mr_Parameters;  // one per Apply
    int mr_Resets = 0;
};

class CountingAnnotationHandler : public IAnnotationHandler {
public:
    CountingAnnotationHandler(const std::string& objectName, const std::string& annotationName)
        : mr_ObjectName(objectName), mr_AnnotationName(annotationName) {
        HandlerRegistry::Born(this);
    }
    ~CountingAnnotationHandler() override { HandlerRegistry::Died(this, "annotation:" + mr_AnnotationName); }
    void Apply(IShader*, D3DXHANDLE annotation) override {
        HandlerRegistry::Called(this, "annotation:" + mr_AnnotationName + ":apply");
        mr_Annotations.push_back(annotation);
    }
    void Reset(IShader*) override {
        HandlerRegistry::Called(this, "annotation:" + mr_AnnotationName + ":reset");
        ++mr_Resets;
    }
    const std::string& GetObjectName() override { return mr_ObjectName; }
    const std::string& GetAnnotationName() override { return mr_AnnotationName; }

    std::string mr_ObjectName;
    std::string mr_AnnotationName;
    std::vector<D3DXHANDLE> mr_Annotations;  // one per Apply
    int mr_Resets = 0;
};

class CountingCallbackHandler : public ICallbackHandler {
public:
    explicit CountingCallbackHandler(const std::string& name, PassResult result = PassResult::None)
        : mr_Name(name), mr_Result(result) {
        HandlerRegistry::Born(this);
    }
    ~CountingCallbackHandler() override { HandlerRegistry::Died(this, "callback:" + mr_Name); }
    PassResult Apply(IShader*, D3DXHANDLE pass) override {
        HandlerRegistry::Called(this, "callback:" + mr_Name + ":apply");
        mr_Passes.push_back(pass);
        if (mr_First.empty()) return mr_Result;
        const PassResult lr_Result = mr_First.front();
        mr_First.erase(mr_First.begin());
        return lr_Result;
    }
    void Reset(IShader*) override { HandlerRegistry::Called(this, "callback:" + mr_Name + ":reset"); }
    const std::string& GetName() override { return mr_Name; }

    std::string mr_Name;
    PassResult mr_Result;
    std::vector<PassResult> mr_First;   // returned first, in order, before mr_Result
    std::vector<D3DXHANDLE> mr_Passes;  // one per Apply
};
