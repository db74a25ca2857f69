% Outside any module: the one definition of solo/0 in the tree.
solo.
