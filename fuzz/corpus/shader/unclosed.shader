a { { map x.tga }
