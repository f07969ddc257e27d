// Substitute <d3dx9.h>: everything of D3DX 9 the module and its hosts use.
#pragma once

#include <d3d9.h>
#include <d3dx9math.h>
#include <d3dx9core.h>
#include <d3dx9shader.h>
#include <d3dx9effect.h>
#include <d3dx9tex.h>
