x = 'abc
d', e "open
still open
closed" ok
