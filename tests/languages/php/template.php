<!DOCTYPE html>
<html>
<head>
  <title><?= htmlspecialchars($title) ?></title>
</head>
<body>
<?php if ($items): ?>
  <ul>
  <?php foreach ($items as $item): ?>
    <li class="item"><?= $item['name'] ?> &mdash; <?php echo $item['price']; ?></li>
  <?php endforeach; ?>
  </ul>
<?php else: ?>
  <p>No items.</p>
<?php endif ?>
<?php
// The footer, with a comment that ends at the tag ?>
<footer>  spaced   text  </footer>
<?php
$year = date('Y');
echo <<<HTML
  <small>&copy; $year</small>
  HTML;
?>

<script>
  var x = "<?php echo addslashes($js); ?>";
</script>
</body>
</html>
