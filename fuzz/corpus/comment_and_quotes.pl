% a<b comment
X = 'it''s', s = "50%".
