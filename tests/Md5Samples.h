#pragma once
// A Doom 3 mesh and an animation of it, small enough to work out by hand:
// the tests' and the fuzzer's seeds.

// "root" at the origin and "child" 10 along x, neither turned. Vertex 0
// hangs from the root at (1 0 0); 1 and 2 from the child at (5 0 0) and
// (0 0 2); 3 half from each, at (0 2 0) and (5 0 0): (1 0 0), (15 0 0),
// (10 0 2) and (7.5 1 0) in the bind pose.
inline const char* const kMd5Arm = R"(MD5Version 10
commandline ""
numJoints 2
numMeshes 1
joints {
  "root" -1 ( 0 0 0 ) ( 0 0 0 )
  "child" 0 ( 10 0 0 ) ( 0 0 0 )
}
mesh {
  shader "arm"
  numverts 4
  vert 0 ( 0 0 ) 0 1
  vert 1 ( 1 0 ) 1 1
  vert 2 ( 0 1 ) 2 1
  vert 3 ( 1 1 ) 3 2
  numtris 2
  tri 0 0 1 2
  tri 1 1 3 2
  numweights 5
  weight 0 0 1 ( 1 0 0 )
  weight 1 1 1 ( 5 0 0 )
  weight 2 1 1 ( 0 0 2 )
  weight 3 0 0.5 ( 0 2 0 )
  weight 4 1 0.5 ( 5 0 0 )
}
)";

// Frame 0 is the base frame (the bind pose); in frame 1 the root rises 3
// along z (its flag 4: z of its position) and the child turns by the file's
// quaternion (0 0 0.7071068), w = +0.7071068: a quarter turn the game's
// joint matrices apply as (x, y, z) -> (y, -x, z).
inline const char* const kMd5Bend = R"(MD5Version 10
commandline "made by hand"
numFrames 2
numJoints 2
frameRate 30
numAnimatedComponents 2
hierarchy {
  "root" -1 4 0
  "child" 0 32 1 // the z of its orientation
}
bounds {
  ( -1 -1 -1 ) ( 1 1 1 )
  ( -1 -1 -1 ) ( 1 1 1 )
}
baseframe {
  ( 0 0 0 ) ( 0 0 0 )
  ( 10 0 0 ) ( 0 0 0 )
}
frame 0 {
  0 0
}
frame 1 {
  3 0.70710678
}
)";
