scenes = split("harbour,cave,treasure", ",")
