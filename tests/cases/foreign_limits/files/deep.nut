function deep(n) { return 1 + deep(n + 1); }
function twice(n) { return n * 2; }
