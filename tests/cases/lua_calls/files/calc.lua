function add(a, b) return a + b end
function greet(who) return "hello " .. who end
function half(n) return n / 2 end
function show(a, b) print("show ", a, " ", b, "|") end
