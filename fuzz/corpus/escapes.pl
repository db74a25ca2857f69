a<b, lt x(y), X =< Y, <(a) &lt; &
