// The effect parser: initialisers and the constant expressions they hold.
#include "compiler/EffectParserInternal.h"

namespace softfx {

bool Parser::ParseInitializer(ValueNode& node) {
    const Token& lr_At = Cur();
    if (IsNumericType(node.Type)) {
        std::vector<double> lr_Values;
        if (!ParseValueList(lr_Values, 0)) return false;
        const size_t lr_Total = node.Numbers.size();
        if (lr_Values.size() == 1 && node.Elements == 0) lr_Values.assign(lr_Total, lr_Values[0]);
        if (lr_Values.size() != lr_Total)
            return Fail("X3017", "initializer does not match the type of '" + node.Name + "'", lr_At);
        for (size_t i = 0; i < lr_Total; ++i) node.Numbers[i] = Convert(node.Type, lr_Values[i]);
        return true;
    }
    if (node.Type == D3DXPT_STRING) {
        std::vector<std::string> lr_Strings;
        if (IsPunct("{")) {
            Next();
            while (!IsPunct("}")) {
                if (Cur().Kind != TokenKind::String) return Unexpected();
                lr_Strings.push_back(Cur().Text);
                Next();
                if (IsPunct(","))
                    Next();
                else if (!IsPunct("}"))
                    return Unexpected();
            }
            Next();
        } else {
            if (Cur().Kind != TokenKind::String) return Unexpected();
            lr_Strings.push_back(Cur().Text);
            Next();
        }
        if (lr_Strings.size() != node.Strings.size())
            return Fail("X3017", "initializer does not match the type of '" + node.Name + "'", lr_At);
        node.Strings = lr_Strings;
        return true;
    }
    if (IsSamplerType(node.Type)) {
        if (node.Elements) return Fail("X3000", "sampler arrays cannot be initialised", lr_At);
        if (!IsIdent("sampler_state")) return Unexpected();
        Next();
        return ParseSamplerState(node);
    }
    if (node.Type == D3DXPT_PIXELSHADER || node.Type == D3DXPT_VERTEXSHADER) {
        if (node.Elements) return Fail("X3000", "shader arrays cannot be initialised", lr_At);
        int lr_Shader = -1;
        if (IsIdent("NULL")) {
            Next();
        } else {
            if (!ParseCompile(node.Type == D3DXPT_PIXELSHADER, lr_Shader)) return false;
        }
        node.Shaders[0] = lr_Shader;
        return true;
    }
    return Fail("X3000", "'" + node.Name + "' cannot be initialised", lr_At);
}

DWORD Parser::Convert(D3DXPARAMETER_TYPE type, double value) {
    if (type == D3DXPT_FLOAT) return FloatBits(value);
    if (type == D3DXPT_BOOL) return value != 0.0 ? 1u : 0u;
    return static_cast<DWORD>(ToInt(value));
}

bool Parser::Nest(int depth) {
    if (depth > kMaxNesting) return Fail("X3000", "syntax error: nesting too deep", Cur());
    return true;
}

bool Parser::ParseValueList(std::vector<double>& values, int depth) {
    if (!Nest(depth)) return false;
    if (IsPunct("{")) {
        Next();
        while (!IsPunct("}")) {
            if (!ParseValueList(values, depth + 1)) return false;
            if (values.size() > kMaxValueComponents) return Fail("X3000", "initializer too large", Cur());
            if (IsPunct(","))
                Next();
            else if (!IsPunct("}"))
                return Unexpected();
        }
        Next();
        return true;
    }
    std::vector<double> lr_Values;
    if (!ParseAdditive(lr_Values, depth + 1)) return false;
    values.insert(values.end(), lr_Values.begin(), lr_Values.end());
    return true;
}

bool Parser::Combine(std::vector<double>& a, const std::vector<double>& b, char op, const Token& at) {
    if (a.size() != b.size() && a.size() != 1 && b.size() != 1) return Fail("X3020", "type mismatch", at);
    const size_t n = a.size() > b.size() ? a.size() : b.size();
    std::vector<double> lr_Out(n);
    for (size_t i = 0; i < n; ++i) {
        const double x = a[a.size() == 1 ? 0 : i], y = b[b.size() == 1 ? 0 : i];
        switch (op) {
        case '+': lr_Out[i] = x + y; break;
        case '-': lr_Out[i] = x - y; break;
        case '*': lr_Out[i] = x * y; break;
        case '/': lr_Out[i] = x / y; break;
        default: lr_Out[i] = y != 0.0 ? std::fmod(x, y) : NAN; break;
        }
    }
    a.swap(lr_Out);
    return true;
}

bool Parser::ParseAdditive(std::vector<double>& values, int depth) {
    if (!Nest(depth)) return false;
    if (!ParseMultiplicative(values, depth + 1)) return false;
    while (IsPunct("+") || IsPunct("-")) {
        const Token& lr_Op = Cur();
        Next();
        std::vector<double> lr_Right;
        if (!ParseMultiplicative(lr_Right, depth + 1)) return false;
        if (!Combine(values, lr_Right, lr_Op.Text[0], lr_Op)) return false;
    }
    return true;
}

bool Parser::ParseMultiplicative(std::vector<double>& values, int depth) {
    if (!ParseUnary(values, depth + 1)) return false;
    while (IsPunct("*") || IsPunct("/") || IsPunct("%")) {
        const Token& lr_Op = Cur();
        Next();
        std::vector<double> lr_Right;
        if (!ParseUnary(lr_Right, depth + 1)) return false;
        if (!Combine(values, lr_Right, lr_Op.Text[0], lr_Op)) return false;
    }
    return true;
}

bool Parser::ParseUnary(std::vector<double>& values, int depth) {
    if (!Nest(depth)) return false;
    if (IsPunct("-") || IsPunct("+") || IsPunct("!")) {
        const char lr_Op = Cur().Text[0];
        Next();
        if (!ParseUnary(values, depth + 1)) return false;
        for (double& v : values) {
            if (lr_Op == '-')
                v = -v;
            else if (lr_Op == '!')
                v = v == 0.0 ? 1.0 : 0.0;
        }
        return true;
    }
    return ParsePrimary(values, depth + 1);
}

bool Parser::ParsePrimary(std::vector<double>& values, int depth) {
    if (!Nest(depth)) return false;
    const Token& t = Cur();
    if (t.Kind == TokenKind::Integer || t.Kind == TokenKind::Float) {
        values.assign(1, t.Number);
        Next();
        return true;
    }
    if (IsPunct("(")) {
        Next();
        if (!ParseAdditive(values, depth + 1)) return false;
        return Expect(")");
    }
    if (t.Kind != TokenKind::Identifier) return Unexpected();
    if (t.Text == "true" || t.Text == "false") {
        values.assign(1, t.Text == "true" ? 1.0 : 0.0);
        Next();
        return true;
    }
    TypeInfo lr_Type;
    bool lr_Found;
    const size_t lr_Start = mr_Pos;
    if (!ParseType(lr_Type, lr_Found)) return false;
    if (lr_Found) {
        if (!IsNumericType(lr_Type.Type)) {
            mr_Pos = lr_Start;
            return Unexpected();
        }
        if (!Expect("(")) return false;
        values.clear();
        while (!IsPunct(")")) {
            std::vector<double> lr_Part;
            if (!ParseAdditive(lr_Part, depth + 1)) return false;
            values.insert(values.end(), lr_Part.begin(), lr_Part.end());
            if (values.size() > 16) return Fail("X3000", "too many constructor arguments", t);
            if (IsPunct(","))
                Next();
            else if (!IsPunct(")"))
                return Unexpected();
        }
        Next();
        const size_t lr_Want = static_cast<size_t>(lr_Type.Rows) * lr_Type.Columns;
        if (values.size() == 1 && lr_Want > 1) values.assign(lr_Want, values[0]);
        if (values.size() != lr_Want)
            return Fail("X3014", "incorrect number of arguments to numeric-type constructor", t);
        return true;
    }
    auto lr_Global = mr_Globals.find(t.Text);
    if (lr_Global != mr_Globals.end()) {
        const ValueNode& lr_Node = mr_Def.Nodes[lr_Global->second];
        if (!IsNumericType(lr_Node.Type) || lr_Node.Elements || lr_Node.Numbers.size() > 16)
            return Fail("X3020", "type mismatch", t);
        values.clear();
        for (DWORD lr_Bits : lr_Node.Numbers) {
            if (lr_Node.Type == D3DXPT_FLOAT) {
                float f;
                std::memcpy(&f, &lr_Bits, sizeof(f));
                values.push_back(f);
            } else if (lr_Node.Type == D3DXPT_INT) {
                values.push_back(static_cast<int32_t>(lr_Bits));
            } else {
                values.push_back(lr_Bits ? 1.0 : 0.0);
            }
        }
        Next();
        return true;
    }
    return Fail("X3004", "undeclared identifier '" + t.Text + "'", t);
}

}  // namespace softfx
