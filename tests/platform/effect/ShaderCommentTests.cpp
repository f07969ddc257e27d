// The walk over a shader's leading comments that the substitute and the
// Windows programs share (<soft/SoftShaderComments.h>), on streams built here.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <soft/SoftShaderComments.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A comment of `fourcc` and `text`, padded with NULs to whole tokens
// (`padding` tokens of NULs at least, 0 for a name that fills its tokens).
void AddComment(std::vector<DWORD>& tokens, const char* fourcc, const std::string& text, size_t padding = 1) {
    std::string ls_Payload = std::string(fourcc, 4) + text;
    ls_Payload.resize((ls_Payload.size() + 3) / 4 * 4 + padding * 4, '\0');
    const DWORD lr_Words = static_cast<DWORD>(ls_Payload.size() / 4);
    tokens.push_back(D3DSHADER_COMMENT(lr_Words));
    for (DWORD i = 0; i < lr_Words; ++i) {
        DWORD lr_Word;
        std::memcpy(&lr_Word, ls_Payload.data() + i * 4, 4);
        tokens.push_back(lr_Word);
    }
}

// mov oC0, c0 and the end token.
void AddBody(std::vector<DWORD>& tokens) {
    tokens.insert(tokens.end(), {0x02000001u, 0x800F0800u, 0xA0E40000u, D3DPS_END()});
}

}  // namespace

TEST(ShaderCommentTest, TheNameIsFoundAmongTheLeadingCommentsAndEndsWithItsComment) {
    std::vector<DWORD> lr_Tokens{D3DPS_VERSION(2, 0)};
    AddComment(lr_Tokens, "CTAB", "table");
    AddComment(lr_Tokens, "FUNC", "PS_Blur");
    AddBody(lr_Tokens);
    EXPECT_EQ(SoftShaderEntryName(lr_Tokens.data(), lr_Tokens.size()), "PS_Blur");
    EXPECT_EQ(SoftShaderEntryName(lr_Tokens.data(), SIZE_MAX), "PS_Blur");
    EXPECT_EQ(SoftShaderTokenCount(lr_Tokens.data(), lr_Tokens.size()), lr_Tokens.size());
    size_t lr_Words = 0;
    const DWORD* lr_Table = SoftFindShaderComment(lr_Tokens.data(), lr_Tokens.size(), "CTAB", &lr_Words);
    ASSERT_NE(lr_Table, nullptr);
    EXPECT_EQ(lr_Table, &lr_Tokens[3]);  // after the version, the comment token and the fourcc
    EXPECT_EQ(lr_Words, 3u);             // "table" and its NUL padding

    // A name that fills its tokens ends with them, not at the next NUL.
    std::vector<DWORD> lr_Full{D3DPS_VERSION(3, 0)};
    AddComment(lr_Full, "FUNC", "main", 0);
    AddBody(lr_Full);
    EXPECT_EQ(SoftShaderEntryName(lr_Full.data(), lr_Full.size()), "main");
}

TEST(ShaderCommentTest, TheWalkStopsAtTheFirstInstructionAndAtTheStreamsEnd) {
    // A comment after an instruction is not a leading one.
    std::vector<DWORD> lr_Late{D3DPS_VERSION(2, 0), 0x02000001u, 0x800F0800u, 0xA0E40000u};
    AddComment(lr_Late, "FUNC", "Late");
    lr_Late.push_back(D3DPS_END());
    EXPECT_EQ(SoftShaderEntryName(lr_Late.data(), lr_Late.size()), "");
    EXPECT_EQ(SoftShaderTokenCount(lr_Late.data(), lr_Late.size()), lr_Late.size());

    // A comment whose size runs past the stream is not read.
    std::vector<DWORD> lr_Cut{D3DPS_VERSION(2, 0)};
    AddComment(lr_Cut, "FUNC", "PS_Cut");
    size_t lr_Words = 0;
    EXPECT_EQ(SoftFindShaderComment(lr_Cut.data(), lr_Cut.size() - 1, "FUNC", &lr_Words), nullptr);
    EXPECT_EQ(SoftShaderTokenCount(lr_Cut.data(), lr_Cut.size()), 0u) << "no end token";
    EXPECT_EQ(SoftFindShaderComment(lr_Cut.data(), lr_Cut.size(), "CTAB", &lr_Words), nullptr);
}
