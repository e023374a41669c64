function wrap(s) { return "«" + s + "»" + s.len(); }
