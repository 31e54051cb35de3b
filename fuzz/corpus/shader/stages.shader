// c
models/x { /* b */ { map $lightmap } { map "models/x.tga" } }
a{{animMap 10 a1.tga a2.tga}}
